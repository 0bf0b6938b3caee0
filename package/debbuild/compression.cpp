#include "package/debbuild/compression.h"

QStringList compressionNames()
{
    return {QStringLiteral("xz"), QStringLiteral("zstd"), QStringLiteral("gzip"), QStringLiteral("none")};
}

LevelRange compressionLevels(const QString &name)
{
    if (name == QLatin1String("xz"))
        return {0, 9};
    if (name == QLatin1String("zstd"))
        return {1, 19};
    if (name == QLatin1String("gzip"))
        return {1, 9};
    return {1, 0};
}

Result checkCompression(const Compression &compression)
{
    if (!compressionNames().contains(compression.name))
        return Result::failure(QStringLiteral("Неизвестный способ сжатия «%1»: возможны %2")
                                   .arg(compression.name, compressionNames().join(QStringLiteral(", "))));
    if (compression.level < 0)
        return Result::done();
    const LevelRange levels = compressionLevels(compression.name);
    if (levels.lowest > levels.highest)
        return Result::failure(QStringLiteral("Без сжатия (none) уровень сжатия не задаётся"));
    if (compression.level < levels.lowest || compression.level > levels.highest)
        return Result::failure(QStringLiteral("Уровень сжатия %1 допускает значения от %2 до %3, а не %4")
                                   .arg(compression.name)
                                   .arg(levels.lowest)
                                   .arg(levels.highest)
                                   .arg(compression.level));
    return Result::done();
}

QStringList compressionArguments(const Compression &compression)
{
    if (compression.isDefault())
        return {};
    QStringList arguments{QStringLiteral("-Z") + compression.name};
    if (compression.level >= 0)
        arguments << QStringLiteral("-z%1").arg(compression.level);
    return arguments;
}

QString compressionNote(const Compression &compression)
{
    if (compression.isDefault())
        return QString();
    if (compression.level < 0)
        return QStringLiteral("Сжатие: %1.").arg(compression.name);
    return QStringLiteral("Сжатие: %1, уровень %2.").arg(compression.name).arg(compression.level);
}

QStringList compressionWarnings(const Compression &compression)
{
    if (compression.name != QLatin1String("zstd"))
        return {};
    return {QStringLiteral("Пакет сжат zstd: dpkg до версии 1.21.18 (Debian 11 и более ранние) не сможет его "
                           "установить")};
}
