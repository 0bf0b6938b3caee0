#include "common/filetree.h"

#include "common/paths.h"
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Removes everything inside the directory open as fd and closes fd.
int removeContents(int fd, const QByteArray &path, QByteArray *failedPath)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        *failedPath = path;
        return error;
    }
    int firstError = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const QByteArray childPath = path + '/' + name;
        QByteArray childFailure;
        int error = 0;
        struct stat status;
        if (::fstatat(::dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        } else if (S_ISDIR(status.st_mode)) {
            ::fchmodat(::dirfd(dir), name, 0700, 0);
            const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            error = child < 0 ? errno : removeContents(child, childPath, &childFailure);
            if (error == 0 && ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR) != 0)
                error = errno;
        } else if (::unlinkat(::dirfd(dir), name, 0) != 0) {
            error = errno;
        }
        if (error != 0 && error != ENOENT && firstError == 0) {
            firstError = error;
            *failedPath = childFailure.isEmpty() ? childPath : childFailure;
        }
    }
    ::closedir(dir);
    return firstError;
}

} // namespace

Result removeTree(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    QByteArray failed = name;
    int error = 0;
    struct stat status;
    if (::lstat(name.constData(), &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        error = fd < 0 ? errno : removeContents(fd, name, &failed);
        if (error == 0 && ::rmdir(name.constData()) != 0) {
            error = errno;
            failed = name;
        }
    } else if (::unlink(name.constData()) != 0) {
        error = errno;
    }
    if (error != 0 && error != ENOENT) {
        return Result::failure(
            QStringLiteral("Не удалось удалить %1: %2").arg(QFile::decodeName(failed), systemError(error)));
    }
    return Result::done();
}

Result refuseLinksBelow(const QString &root, const QString &relative)
{
    QString path = root;
    for (const QString &piece : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + piece;
        struct stat status;
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            break;
        if (S_ISLNK(status.st_mode)) {
            return Result::failure(
                QStringLiteral("%1 - символическая ссылка: то, что за ней, может лежать вне рабочего каталога, "
                               "поэтому программа туда не пишет и ничего там не удаляет")
                    .arg(path));
        }
    }
    return Result::done();
}
