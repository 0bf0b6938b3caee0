#include "desktop/accessrights.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

QString accessRightsPath(const QString &packageName)
{
    return dataDirectoryPath() + QLatin1Char('/') + packageName;
}

AccessList accessRightsText(const QString &workDir)
{
    AccessList list;
    walkTree(workDir, [&list](int fd, const QByteArray &relative, unsigned char type) {
        const Visit next = type == DT_DIR ? Visit::Descend : Visit::Skip;
        struct stat status;
        if ((type != DT_REG && type != DT_DIR)
            || ::fstatat(fd, lastName(relative).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return next;
        }
        // The set-user-ID, set-group-ID and sticky bits need the fourth digit.
        const unsigned mode = status.st_mode & 07777;
        // A directory gets 0755 at build time; one with such a bit needs its line to keep it.
        if (S_ISDIR(status.st_mode) ? mode <= 0777 : !S_ISREG(status.st_mode))
            return next;
        if (relative.contains('\n')) {
            list.leftOut << QLatin1Char('/') + displayName(relative);
            return next;
        }
        list.text += '/' + relative + ": " + QByteArray::number(mode, 8).rightJustified(mode > 0777 ? 4 : 3, '0')
                     + '\n';
        return next;
    });
    return list;
}

Result accessRightsListing(const QString &workDir, AccessList *list)
{
    if (!QFileInfo(workDir).isDir())
        return Result::failure(QStringLiteral("Каталог %1 не найден").arg(workDir));
    *list = accessRightsText(workDir);
    return Result::done();
}

Result saveAccessList(const QString &workDir, const AccessList &list)
{
    const Result made = makePath(dataDirectoryPath(), 0755);
    if (made.failed())
        return made;
    return writeFileAtomically(accessRightsPath(packageName(workDir)), list.text);
}

Result removeAccessList(const QString &workDir)
{
    const QString name = packageName(workDir);
    const QString path = accessRightsPath(name);
    if (name.isEmpty() || !entryExists(path) || QFileInfo(path).isDir())
        return Result::failure(QStringLiteral("Файл настроек прав доступа не найден"));
    QFile file(path);
    if (!file.remove())
        return Result::failure(QStringLiteral("Не удалось удалить файл %1: %2").arg(path, file.errorString()));
    return Result::done(QStringLiteral("Настройки прав доступа очищены!"));
}

QString leftOutNote(const AccessList &list)
{
    if (list.leftOut.isEmpty())
        return QString();
    return QStringLiteral("Имена этих файлов содержат перевод строки, в список прав доступа их записать нельзя:\n")
           + list.leftOut.join(QLatin1Char('\n'));
}

namespace {

bool isOctal(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '7')
            return false;
    }
    return true;
}

// Paths must name something inside the staging copy: from its root, and never
// through "..".
bool staysInside(const QByteArray &path)
{
    return path.startsWith('/') && !path.split('/').contains("..");
}

} // namespace

QString skippedNote(const QString &line, const QString &reason)
{
    return QStringLiteral("Строка файла прав доступа пропущена (%1): %2").arg(reason, line);
}

AccessRules parseAccessRights(const QByteArray &text)
{
    AccessRules result;
    for (const QByteArray &line : text.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QString shown = displayName(line);
        const int separator = line.lastIndexOf(": ");
        if (separator < 0) {
            result.skipped << skippedNote(shown, QStringLiteral("нет разделителя «: »"));
            continue;
        }
        const QByteArray path = line.left(separator);
        QByteArray modeText = line.mid(separator + 2);
        while (!modeText.isEmpty() && QChar::isSpace(uchar(modeText.back())))
            modeText.chop(1);
        bool ok = false;
        const unsigned mode = modeText.toUInt(&ok, 8);
        if (!isOctal(modeText) || !ok || mode > 07777) {
            result.skipped << skippedNote(shown, QStringLiteral("права доступа не восьмеричное число до 7777"));
            continue;
        }
        if (path.contains('\0')) {
            result.skipped << skippedNote(shown, QStringLiteral("путь содержит нулевой байт"));
            continue;
        }
        if (!staysInside(path)) {
            result.skipped << skippedNote(shown, QStringLiteral("путь должен начинаться с «/» и не содержать «..»"));
            continue;
        }
        result.rules << AccessRule{path, mode, shown};
    }
    return result;
}

Result readAccessRules(const QString &path, AccessRules *rules)
{
    if (!entryExists(path))
        return Result::done();
    QByteArray text;
    const Result read = readRegularFile(path, &text);
    if (read.failed())
        return read;
    *rules = parseAccessRights(text);
    return Result::done();
}
