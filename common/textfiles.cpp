#include "common/textfiles.h"

#include "common/paths.h"
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString failure(const QString &path, int error)
{
    return QStringLiteral("Не удалось записать файл %1: %2").arg(path, systemError(error));
}

// The mode a new file gets under the process umask. The umask is read from
// /proc rather than set and reset, since other threads may create files
// meanwhile; without /proc the usual 022 is assumed.
mode_t creationMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            bool ok = false;
            const mode_t mask = mode_t(line.mid(6).trimmed().toUInt(&ok, 8));
            if (line.startsWith("Umask:") && ok)
                return 0666 & ~mask;
        }
    }
    return 0644;
}

// Writes all of data to fd, then forces it to the disk; 0 or the errno of
// the step that failed. A full disk shows here, not only at close.
int writeAllAndSync(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        next += written;
        left -= written;
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

} // namespace

Result writeFileAtomically(const QString &path, const QByteArray &data, int mode)
{
    const QByteArray target = QFile::encodeName(path);
    struct stat existing;
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return Result::failure(QStringLiteral("Не удалось записать файл %1: это каталог").arg(path));
    if (mode < 0)
        mode = exists && S_ISREG(existing.st_mode) ? int(existing.st_mode & 07777) : int(creationMode());

    // The temporary file lies beside the target, so the rename never crosses
    // a file system. Renaming replaces a link at the path rather than
    // writing through it into whatever it points to.
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return Result::failure(failure(path, errno));
    int error = ::fchmod(fd, mode_t(mode)) == 0 ? writeAllAndSync(fd, data) : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return Result::failure(failure(path, error));
    }
    return Result::done();
}

Result checkRegularFile(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Result::failure(QStringLiteral("Файл %1 не найден").arg(path));
    if (!S_ISREG(status.st_mode))
        return Result::failure(QStringLiteral("%1 не является обычным файлом: программа его не открывает").arg(path));
    return Result::done();
}

Result readRegularFile(const QString &path, QByteArray *bytes)
{
    const Result regular = checkRegularFile(path);
    if (regular.failed())
        return regular;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return Result::done();
    }
    return Result::failure(QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
}
