#include "desktop/accessrights.h"

#include "common/paths.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

QString accessRightsPath(const QString &packageName)
{
    return dataDirectoryPath() + QLatin1Char('/') + packageName;
}

QString accessRightsText(const QString &workDir)
{
    QString text;
    // FollowSymlinks descends into linked directories once each, so a link
    // loop ends the descent instead of running forever.
    QDirIterator entries(workDir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (entries.hasNext()) {
        const QString path = entries.next();
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const QString relative = path.mid(workDir.size());
        if (relative.contains(QLatin1Char('\n')))
            continue;
        text += relative + QStringLiteral(": ")
                + QStringLiteral("%1").arg(status.st_mode & 0777, 3, 8, QLatin1Char('0'))
                + QLatin1Char('\n');
    }
    return text;
}

Result accessRightsListing(const QString &workDir)
{
    if (!QFileInfo(workDir).isDir())
        return Result::failure(QStringLiteral("Каталог %1 не найден").arg(workDir));
    return Result::done(accessRightsText(workDir));
}

namespace {

bool isOctal(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('7'))
            return false;
    }
    return true;
}

// Paths must name something inside the staging copy: from its root, and never
// through "..".
bool staysInside(const QString &path)
{
    return path.startsWith(QLatin1Char('/'))
           && !path.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

} // namespace

QString skippedNote(const QString &line, const QString &reason)
{
    return QStringLiteral("Строка файла прав доступа пропущена (%1): %2").arg(reason, line);
}

AccessRules parseAccessRights(const QString &text)
{
    AccessRules result;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty())
            continue;
        const int separator = line.lastIndexOf(QStringLiteral(": "));
        if (separator < 0) {
            result.skipped << skippedNote(line, QStringLiteral("нет разделителя «: »"));
            continue;
        }
        const QString path = line.left(separator);
        QString modeText = line.mid(separator + 2);
        while (!modeText.isEmpty() && modeText.back().isSpace())
            modeText.chop(1);
        bool ok = false;
        const unsigned mode = modeText.toUInt(&ok, 8);
        if (!isOctal(modeText) || !ok || mode > 07777) {
            result.skipped << skippedNote(line, QStringLiteral("права доступа не восьмеричное число до 7777"));
            continue;
        }
        if (!staysInside(path)) {
            result.skipped << skippedNote(line, QStringLiteral("путь должен начинаться с «/» и не содержать «..»"));
            continue;
        }
        result.rules << AccessRule{path, mode, line};
    }
    return result;
}

Result readAccessRules(const QString &path, AccessRules *rules)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Result::done();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result::failure(QStringLiteral("Не удалось прочитать файл прав доступа %1: %2")
                                   .arg(path, file.errorString()));
    *rules = parseAccessRights(QString::fromUtf8(file.readAll()));
    return Result::done();
}
