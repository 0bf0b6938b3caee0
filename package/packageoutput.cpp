#include "package/packageoutput.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

PackageOutput::PackageOutput(const QString &outputDir)
    : m_outputDir(outputDir)
    , m_dir(outputDir + QStringLiteral("/.bexlor-deb-XXXXXX"))
{
    if (!m_dir.isValid())
        error = QStringLiteral("Не удалось создать временный каталог в %1: %2").arg(outputDir, m_dir.errorString());
}

QString PackageOutput::deliver()
{
    const QStringList built = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : built) {
        const QByteArray from = QFile::encodeName(m_dir.path() + QLatin1Char('/') + name);
        const QString target = m_outputDir + QLatin1Char('/') + name;
        if (std::rename(from.constData(), QFile::encodeName(target).constData()) != 0)
            return QStringLiteral("Не удалось переместить пакет в %1: %2")
                .arg(target, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return QString();
}
