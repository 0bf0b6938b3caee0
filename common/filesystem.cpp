#include "common/filesystem.h"

#include "common/job.h"
#include "common/namebytes.h"
#include "common/paths.h"

#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// Called for a directory that enter let descend, after its content:
// directoryFd of its parent, its relativePath, and 0 or the errno with which
// it could not be opened or read.
using LeaveDirectory = std::function<void(int, const QByteArray &, int)>;

// Walks the directory open as fd below prefix; takes ownership of fd and
// returns 0 or the errno with which it could not be read.
int walkDirectory(int fd, const QByteArray &prefix, const EnterEntry &enter, const LeaveDirectory &leave)
{
    return listDirectory(fd, [&](int directoryFd, const char *name, unsigned char type) {
        const QByteArray relative = prefix + name;
        if (enter(directoryFd, relative, type) != Visit::Descend || type != DT_DIR)
            return;
        const int child = ::openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = child < 0 ? errno : walkDirectory(child, relative + '/', enter, leave);
        if (leave)
            leave(directoryFd, relative, error);
    });
}

} // namespace

int listDirectory(int fd, const std::function<void(int, const char *, unsigned char)> &each)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            if (::fstatat(::dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                type = IFTODT(status.st_mode);
        }
        each(::dirfd(dir), name, type);
    }
    const int error = errno;
    ::closedir(dir);
    return error;
}

void walkTree(const QString &root, const EnterEntry &enter)
{
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        walkDirectory(fd, QByteArray(), enter, {});
}

QByteArray lastName(const QByteArray &relative)
{
    return relative.mid(relative.lastIndexOf('/') + 1);
}

QString displayName(const QByteArray &relative)
{
    return QFile::decodeName(relative).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

Result removeTree(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    QByteArray failed = name;
    int error = 0;
    // Keeps the first failure below the top, with the entry it names.
    const auto note = [&](int entryError, const QByteArray &relative) {
        if (entryError != 0 && entryError != ENOENT && error == 0) {
            error = entryError;
            failed = name + '/' + relative;
        }
    };
    struct stat status;
    if (::lstat(name.constData(), &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        // Directories are opened up on the way down and removed on the way up;
        // everything else goes as it is met, links included.
        const EnterEntry enter = [&](int directoryFd, const QByteArray &relative, unsigned char type) {
            const QByteArray entry = lastName(relative);
            if (type == DT_DIR) {
                changeModeAt(directoryFd, entry.constData(), 0700);
                return Visit::Descend;
            }
            note(::unlinkat(directoryFd, entry.constData(), 0) == 0 ? 0 : errno, relative);
            return Visit::Skip;
        };
        const LeaveDirectory leave = [&](int directoryFd, const QByteArray &relative, int walked) {
            if (walked == 0 && ::unlinkat(directoryFd, lastName(relative).constData(), AT_REMOVEDIR) != 0)
                walked = errno;
            note(walked, relative);
        };
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int listed = fd < 0 ? errno : walkDirectory(fd, QByteArray(), enter, leave);
        if (error == 0)
            error = listed;
        if (error == 0 && ::rmdir(name.constData()) != 0)
            error = errno;
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

int changeModeAt(int directoryFd, const char *name, unsigned mode)
{
    return ::fchmodat(directoryFd, name, mode_t(mode), AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

Result setMode(const QString &path, unsigned mode)
{
    const QByteArray name = QFile::encodeName(path);
    const int error = changeModeAt(AT_FDCWD, name.constData(), mode);
    if (error == 0)
        return Result::done();
    struct stat status;
    if (error == EOPNOTSUPP && ::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return Result::failure(QStringLiteral("%1 - ссылка: права доступа через неё не меняются").arg(path));
    return Result::failure(QStringLiteral("Не удалось установить права доступа %1: %2").arg(path, systemError(error)));
}

namespace {

const QByteArray temporaryTag(".bexlor-");

// The process that made the temporary name (".NAME.bexlor-PID.XXXXXX"), or
// 0 when name is no temporary of ours.
pid_t temporaryOwner(const QByteArray &name)
{
    const int suffix = name.size() - 7;
    if (!name.startsWith('.') || suffix < 0 || name.at(suffix) != '.')
        return 0;
    for (int i = suffix + 1; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name.at(i))))
            return 0;
    }
    const int tag = name.lastIndexOf(temporaryTag, suffix);
    const int digits = tag + temporaryTag.size();
    if (tag < 2 || digits == suffix || suffix - digits > 9)
        return 0;
    pid_t owner = 0;
    for (int i = digits; i < suffix; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name.at(i))))
            return 0;
        owner = owner * 10 + (name.at(i) - '0');
    }
    return owner;
}

// Removes the temporary name in the directory open as dirFd when it is left
// over from a write that no longer runs: its process is gone, or nobody
// holds its lock (the pid now belongs to another process). A temporary it
// cannot judge counts as alive.
void removeIfStale(int dirFd, const char *name, pid_t owner)
{
    if (::kill(owner, 0) != 0 && errno == ESRCH) {
        ::unlinkat(dirFd, name, 0);
        return;
    }
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    // The lock is held until the name is gone: a writer that takes it next
    // finds its file removed and starts again.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlinkat(dirFd, name, 0);
    ::close(fd);
}

// Removes the stale temporaries of killed writes from directory.
void removeStaleTemporaries(const QByteArray &directory)
{
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    listDirectory(fd, [](int directoryFd, const char *name, unsigned char type) {
        const pid_t owner = temporaryOwner(QByteArray(name));
        if (owner > 0 && type == DT_REG)
            removeIfStale(directoryFd, name, owner);
    });
}

// Makes and locks a fresh temporary from the pattern; -1 with errno set on
// failure. A cleaner that took the lock between the two has removed the
// name (see removeIfStale): then it starts again.
int lockedTemporary(const QByteArray &pattern, QByteArray *temporary)
{
    for (;;) {
        *temporary = pattern;
        const int fd = ::mkstemp(temporary->data());
        if (fd < 0)
            return -1;
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) { }
        struct stat status;
        if (::fstat(fd, &status) != 0 || status.st_nlink > 0)
            return fd;
        ::close(fd);
    }
}

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

// Opens path for reading without waiting and checks what it opened: a FIFO
// put in a regular file's place meanwhile can neither block nor be read.
// The descriptor, or -1 with the refusal in *refused.
int openRegularFile(const QString &path, struct stat *status, Result *refused)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int error = errno;
    if (fd >= 0 && ::fstat(fd, status) == 0 && S_ISREG(status->st_mode))
        return fd;
    if (fd >= 0)
        ::close(fd);
    const Result regular = checkRegularFile(path);
    *refused =
        regular.failed()
            ? regular
            : Result::failure(
                QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, systemError(fd < 0 ? error : EINVAL)));
    return -1;
}

// Copies the size bytes of in to out, the data extents only, so that the
// holes of a sparse file stay holes (the copy is made that long first); 0 or
// the errno of what failed, ECANCELED when the current job was cancelled,
// EIO when out does not end up as long as in.
int copyExtents(int in, int out, off_t size)
{
    if (::ftruncate(out, size) != 0)
        return errno;
    std::vector<char> buffer(1 << 20);
    for (off_t data = 0; data < size;) {
        data = ::lseek(in, data, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // nothing but a hole up to the end
        // A file system that cannot tell holes gets everything copied.
        const bool extents = data >= 0;
        if (!extents && errno != EINVAL)
            return errno;
        const off_t start = extents ? data : 0;
        const off_t hole = extents ? ::lseek(in, start, SEEK_HOLE) : size;
        if (hole < 0)
            return errno;
        for (data = start; data < hole;) {
            if (jobCancelled())
                return ECANCELED;
            const ssize_t got = ::pread(in, buffer.data(), size_t(qMin<off_t>(off_t(buffer.size()), hole - data)),
                                        data);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return got < 0 ? errno : EIO;
            for (ssize_t written = 0; written < got;) {
                const ssize_t put = ::pwrite(out, buffer.data() + written, size_t(got - written), data + written);
                if (put < 0 && errno == EINTR)
                    continue;
                if (put <= 0)
                    return put < 0 ? errno : ENOSPC;
                written += put;
            }
            data += got;
        }
    }
    struct stat copied;
    return ::fstat(out, &copied) != 0 ? errno : copied.st_size == size ? 0 : EIO;
}

} // namespace

Result writeThroughTemporary(const QString &path, int mode, const std::function<int(int)> &fill)
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
    const int slash = target.lastIndexOf('/');
    const QByteArray directory = slash < 0 ? QByteArray(".") : target.left(qMax(slash, 1));
    removeStaleTemporaries(directory);
    const QByteArray pattern = target.left(slash + 1) + '.' + target.mid(slash + 1).left(NAME_MAX - 32) + temporaryTag
                               + QByteArray::number(::getpid()) + ".XXXXXX";
    QByteArray temporary;
    const int fd = lockedTemporary(pattern, &temporary);
    if (fd < 0)
        return Result::failure(failure(path, errno));
    // A copy of the descriptor holds the lock until the name is gone.
    const int lock = ::dup(fd);
    int error = ::fchmod(fd, mode_t(mode)) == 0 ? fill(fd) : errno;
    // A full disk shows here, not only at close.
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.constData());
    if (lock >= 0)
        ::close(lock);
    if (error != 0)
        return Result::failure(failure(path, error));
    return Result::done();
}

int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        size -= written;
    }
    return 0;
}

Result writeFileAtomically(const QString &path, const QByteArray &data, int mode)
{
    return writeThroughTemporary(path, mode, [&data](int fd) { return writeAll(fd, data.constData(), data.size()); });
}

bool isWriterTemporary(const QByteArray &name)
{
    return temporaryOwner(name) > 0;
}

Result writeMd5sums(const QString &path, const QByteArray &lines, int mode)
{
    // dh_md5sums lists the files in the byte order of their paths, whatever
    // order a walk or a pool of threads met them in.
    constexpr int pathStart = 34; // 32 hex digits and two spaces
    QList<QByteArray> sorted = lines.split('\n');
    sorted.removeAll(QByteArray());
    std::sort(sorted.begin(), sorted.end(), [](const QByteArray &a, const QByteArray &b) {
        const int common = std::min(a.size(), b.size()) - pathStart;
        const int order = std::memcmp(a.constData() + pathStart, b.constData() + pathStart,
                                      size_t(std::max(common, 0)));
        return order != 0 ? order < 0 : a.size() < b.size();
    });
    QByteArray content;
    content.reserve(lines.size());
    for (const QByteArray &line : sorted)
        content += line + '\n';
    return writeFileAtomically(path, content, mode);
}

Result copyFileAtomically(const QString &source, const QString &target, int mode)
{
    struct stat status;
    Result refused;
    const int in = openRegularFile(source, &status, &refused);
    if (in < 0)
        return refused;
    Result copied = writeThroughTemporary(target, mode < 0 ? int(status.st_mode & 07777) : mode,
                                          [&](int out) { return copyExtents(in, out, status.st_size); });
    struct stat after;
    if (copied.success && (::fstat(in, &after) != 0 || after.st_size != status.st_size))
        copied = Result::failure(QStringLiteral("Файл %1 изменился во время копирования").arg(source));
    ::close(in);
    return jobCancelled() ? Result::failure(cancelledText()) : copied;
}

bool entryExists(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
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

Result readRegularFile(const QString &path, QByteArray *bytes, unsigned *mode)
{
    struct stat status;
    Result refused;
    const int fd = openRegularFile(path, &status, &refused);
    if (fd < 0)
        return refused;
    QFile file;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError) {
            if (mode)
                *mode = status.st_mode & 07777;
            return Result::done();
        }
    }
    return Result::failure(QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
}

namespace {

QString escapedName(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const uchar code = uchar(byte);
        text += code >= 0x20 && code < 0x7f ? QString(QLatin1Char(byte))
                                            : QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
    return text;
}

} // namespace

QList<EntryName> directoryEntryNames(const QString &directory)
{
    QList<EntryName> entries;
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return entries;
    listDirectory(fd, [&entries](int, const char *name, unsigned char) {
        const QByteArray bytes(name);
        const QString text = QFile::decodeName(bytes);
        if (QFile::encodeName(text) == bytes && !hasStrayBytes(text))
            entries.append({bytes, text, true});
        else
            entries.append({bytes, escapedName(bytes), false});
    });
    return entries;
}

QStringList directoryEntries(const QString &directory)
{
    QStringList texts;
    for (const EntryName &entry : directoryEntryNames(directory))
        texts << entry.text;
    return texts;
}

QStringList unshowableNames(const QList<EntryName> &entries)
{
    QStringList texts;
    for (const EntryName &entry : entries) {
        if (!entry.showable)
            texts << entry.text;
    }
    return texts;
}
