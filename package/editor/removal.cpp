#include "package/editor/removal.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

QByteArray directoryBytes(const QString &workDir, const QString &subdirectory)
{
    return QFile::encodeName(workDir + QLatin1Char('/') + subdirectory + QLatin1Char('/'));
}

} // namespace

QString removeAllEntry()
{
    return QStringLiteral("УДАЛИТЬ ВСЕ ФАЙЛЫ");
}

Result checkEntryRemoval(const QString &workDir, const QString &subdirectory, const QByteArray &name,
                         const QString &shown)
{
    const Result linked = refuseLinksBelow(workDir, subdirectory);
    if (linked.failed())
        return linked;
    struct stat status;
    if (::lstat((directoryBytes(workDir, subdirectory) + name).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        return Result::failure(QStringLiteral("%1 - это каталог; удалить его можно только вместе со всеми файлами "
                                              "(«%2»)")
                                   .arg(shown, removeAllEntry()));
    return Result::done();
}

Result removeEntry(const QString &workDir, const QString &subdirectory, const QByteArray &name, const QString &shown)
{
    const Result allowed = checkEntryRemoval(workDir, subdirectory, name, shown);
    if (allowed.failed())
        return allowed;
    const QByteArray path = directoryBytes(workDir, subdirectory) + name;
    if (::unlink(path.constData()) == 0)
        return Result::done(QStringLiteral("Файл ") + shown + QStringLiteral(" удален!"));
    if (errno == ENOENT)
        return Result::failure(QStringLiteral("Файл ") + shown + QStringLiteral(" не найден"));
    return Result::failure(
        QStringLiteral("Не удалось удалить файл %1: %2").arg(QFile::decodeName(path), systemError(errno)));
}

Result checkDirectoryRemoval(const QString &workDir, const QString &subdirectory)
{
    // The directory itself may be a link: then only the link goes.
    return refuseLinksBelow(workDir, subdirectory.section(QLatin1Char('/'), 0, -2));
}

DirectoryRemoval removeDirectory(const QString &workDir, const QString &subdirectory)
{
    DirectoryRemoval removal;
    removal.result = checkDirectoryRemoval(workDir, subdirectory);
    if (removal.result.failed())
        return removal;
    // Without a trailing "/" the path names a link itself rather than the
    // directory it points to: a linked directory loses only the link.
    const QString path = workDir + QLatin1Char('/') + subdirectory;
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        removal.result = Result::failure(QStringLiteral("Каталог или файлы не найдены"));
        removal.gone = true;
        return removal;
    }
    removal.result = removeTree(path);
    removal.gone = removal.result.success;
    if (removal.gone)
        removal.result.message = QStringLiteral("Катлалог и файлы удалены!");
    return removal;
}
