#include "package/debbuild/architecturecheck.h"

#include <QRegularExpression>

Result checkStagedArchitecture(const ControlParagraph &paragraph, const QStringList &elfFiles)
{
    const QString architecture = paragraph.value(QStringLiteral("Architecture")).trimmed();
    if (architecture == QLatin1String("all") && !elfFiles.isEmpty()) {
        QStringList named;
        for (const QString &file : elfFiles.mid(0, 5))
            named << QLatin1Char('/') + file;
        if (elfFiles.size() > named.size())
            named << QStringLiteral("и ещё %1").arg(elfFiles.size() - named.size());
        return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: all», но в пакете есть программы и "
                                                "библиотеки ELF, которые работают только на своей архитектуре: "
                                                "укажите её (например, amd64):\n")
                                 + named.join(QLatin1Char('\n'))});
    }
    static const QRegularExpression nothingToRun(
        QStringLiteral("transitional package|meta[ -]?package|(?:dependency|dummy|empty) package"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression taskSection(QStringLiteral("(?:^|/)(?:tasks|metapackages)$"));
    if (architecture.isEmpty() || architecture == QLatin1String("all") || !elfFiles.isEmpty()
        || nothingToRun.match(paragraph.value(QStringLiteral("Description"))).hasMatch()
        || taskSection.match(paragraph.value(QStringLiteral("Section")).trimmed()).hasMatch())
        return Result::done();
    return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: %1», но в пакете нет программ и "
                                            "библиотек ELF, которые зависели бы от архитектуры: укажите "
                                            "«Architecture: all»")
                                 .arg(architecture)});
}
