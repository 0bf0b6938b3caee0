#include "package/docs/documentchecks.h"

#include "common/filesystem.h"
#include "desktop/shortcuts.h"
#include "package/control/controlcheck.h"
#include "package/docs/changelog.h"
#include "package/docs/docsfields.h"
#include "package/docs/templates.h"

#include <QDir>
#include <QFileInfo>

QStringList placeholderWarnings(const QString &file, const QByteArray &text)
{
    QStringList warnings;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        for (const QString &placeholder : templatePlaceholders()) {
            if (line.contains(placeholder, Qt::CaseInsensitive)) {
                warnings << QStringLiteral("%1: %2").arg(
                    file, lineText(i + 1, QStringLiteral("осталась заготовка шаблона «%1»").arg(placeholder)));
                break;
            }
        }
    }
    return warnings;
}

namespace {

// The warnings of the documents of package below workDir.
QStringList packageDocumentWarnings(const QString &workDir, const QString &package, const QString &version)
{
    QStringList warnings;
    const auto relative = [&workDir](const QString &path) { return path.mid(workDir.size() + 1); };
    QStringList files;
    const QString applications = applicationsSubdirectory() + QLatin1Char('/');
    for (const QString &shortcut :
         QDir(workDir + QLatin1Char('/') + applications).entryList({QStringLiteral("*.desktop")}, QDir::Files))
        files << workDir + QLatin1Char('/') + applications + shortcut;
    files << docDirectory(workDir, package) + QStringLiteral("/copyright");
    for (const QString &file : qAsConst(files)) {
        QByteArray text;
        if (QFileInfo::exists(file) && readRegularFile(file, &text).success)
            warnings << placeholderWarnings(relative(file), text);
    }
    const QString changelog = changelogPath(workDir, package, version);
    QByteArray text;
    QString top;
    if (!QFileInfo::exists(changelog))
        return warnings;
    const Result read = readChangelog(changelog, &text);
    if (read.failed())
        return warnings << read.message;
    warnings << placeholderWarnings(relative(changelog), text);
    if (changelogTopVersion(text, &top).success && top != version)
        warnings << relative(changelog)
                        + QStringLiteral(": версия последней записи %1, а в DEBIAN/control — %2: обновите changelog "
                                         "кнопкой документов пакета")
                              .arg(top, version);
    return warnings;
}

} // namespace

QStringList documentWarnings(const QString &workDir, const QByteArray &control)
{
    QStringList warnings = placeholderWarnings(QStringLiteral("DEBIAN/control"), control);
    const ControlParagraph paragraph = parseControl(control);
    const QString package = paragraph.value(QStringLiteral("Package")).trimmed().toLower();
    if (isValidPackageName(package))
        warnings << packageDocumentWarnings(workDir, package, paragraph.value(QStringLiteral("Version")).trimmed());
    return warnings;
}
