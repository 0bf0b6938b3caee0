#include "package/stagingcopy.h"

#include "common/job.h"
#include "package/debianmeta.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Owns a file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, so that a late write error is seen; 0 or the error number.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Owns an open directory stream; fd() serves the *at calls for its entries.
class Directory
{
public:
    // Opens name below the directory parentFd (AT_FDCWD for a plain path).
    Directory(int parentFd, const char *name)
    {
        const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        m_dir = ::fdopendir(fd);
        if (!m_dir)
            ::close(fd);
    }
    ~Directory()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    Directory(const Directory &) = delete;
    Directory &operator=(const Directory &) = delete;

    bool valid() const { return m_dir != nullptr; }
    int fd() const { return ::dirfd(m_dir); }
    // The next entry other than "." and "..", or nullptr at the end (errno
    // then tells whether the listing failed).
    const dirent *next()
    {
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(m_dir);
            if (!entry)
                return nullptr;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                return entry;
        }
    }

private:
    DIR *m_dir = nullptr;
};

// Copies a tree the way the staging copy needs it: links are copied as what
// they point to, contents and times are kept, every entry below the top gets
// mode 0755 and the top keeps its own mode. Files are copied in the kernel
// where possible and otherwise through a small buffer, never read whole.
class TreeCopier
{
public:
    // total: the bytes expected, for the progress of the current job.
    TreeCopier(const struct stat &skipped, qint64 total)
        : m_skipped(skipped)
        , m_total(total)
    {
    }

    // Copies the directory source to target, which must not exist yet.
    // Returns the empty text or what went wrong.
    QString copy(const QString &source, const QString &target)
    {
        const QByteArray sourceName = QFile::encodeName(source);
        const QByteArray targetName = QFile::encodeName(target);
        struct stat status;
        if (::stat(sourceName.constData(), &status) != 0)
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(source, systemError(errno));
        if (!S_ISDIR(status.st_mode))
            return QStringLiteral("%1 не является каталогом").arg(source);
        return copyDirectory(AT_FDCWD, sourceName.constData(), AT_FDCWD, targetName.constData(), status,
                             status.st_mode & 07777, source);
    }

private:
    QString copyDirectory(int sourceParent, const char *sourceName, int targetParent, const char *targetName,
                          const struct stat &status, mode_t mode, const QString &path)
    {
        Directory source(sourceParent, sourceName);
        if (!source.valid())
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(path, systemError(errno));
        // Made private first and opened up once filled, whatever the source's mode.
        if (::mkdirat(targetParent, targetName, 0700) != 0)
            return QStringLiteral("Не удалось создать копию каталога %1: %2").arg(path, systemError(errno));
        Descriptor target(::openat(targetParent, targetName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию каталога %1: %2").arg(path, systemError(errno));

        m_ancestors.emplace_back(status.st_dev, status.st_ino);
        QString error;
        while (const dirent *entry = source.next()) {
            error = copyEntry(source.fd(), target.get(), entry->d_name,
                              path + QLatin1Char('/') + QFile::decodeName(entry->d_name));
            if (!error.isEmpty())
                break;
        }
        if (error.isEmpty() && errno != 0)
            error = QStringLiteral("Не удалось прочитать каталог %1: %2").arg(path, systemError(errno));
        m_ancestors.pop_back();
        if (!error.isEmpty())
            return error;
        return finish(target.get(), status, mode, path);
    }

    QString copyEntry(int sourceDir, int targetDir, const char *name, const QString &path)
    {
        if (jobCancelled())
            return cancelledText();
        struct stat status;
        if (::fstatat(sourceDir, name, &status, 0) != 0) {
            const int error = errno;
            struct stat link;
            if (::fstatat(sourceDir, name, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode)) {
                return error == ELOOP ? loopText(path)
                                      : QStringLiteral("Ссылка %1 указывает на несуществующий объект").arg(path);
            }
            return QStringLiteral("Не удалось прочитать %1: %2").arg(path, systemError(error));
        }
        if (S_ISDIR(status.st_mode)) {
            // The private staging directory itself, when the work directory
            // holds the temporary directory: copying it would never end.
            if (status.st_dev == m_skipped.st_dev && status.st_ino == m_skipped.st_ino)
                return QString();
            for (const auto &ancestor : m_ancestors) {
                if (ancestor.first == status.st_dev && ancestor.second == status.st_ino)
                    return loopText(path);
            }
            return copyDirectory(sourceDir, name, targetDir, name, status, 0755, path);
        }
        if (S_ISREG(status.st_mode))
            return copyFile(sourceDir, targetDir, name, status, path);
        return QStringLiteral("%1 не является ни обычным файлом, ни каталогом").arg(path);
    }

    static QString loopText(const QString &path)
    {
        return QStringLiteral("Ссылка %1 образует цикл").arg(path);
    }

    QString copyFile(int sourceDir, int targetDir, const char *name, const struct stat &status,
                     const QString &path)
    {
        Descriptor source(::openat(sourceDir, name, O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (!source.valid())
            return QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, systemError(errno));
        Descriptor target(::openat(targetDir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию файла %1: %2").arg(path, systemError(errno));
        int error = copyContent(source.get(), target.get());
        if (error == 0) {
            const QString finished = finish(target.get(), status, 0755, path);
            if (!finished.isEmpty())
                return finished;
            error = target.close();
            m_copied += status.st_size;
            reportJobProgress(m_copied, m_total);
        }
        if (error != 0)
            return QStringLiteral("Не удалось скопировать файл %1: %2").arg(path, systemError(error));
        return QString();
    }

    // 0 or the error number.
    int copyContent(int source, int target)
    {
        for (;;) {
            const ssize_t copied = ::copy_file_range(source, nullptr, target, nullptr, 1 << 30, 0);
            if (copied > 0)
                continue;
            if (copied == 0)
                return 0;
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM)
                return copyThroughBuffer(source, target);
            return errno;
        }
    }

    // For file systems without in-kernel copying; goes on from the current offsets.
    int copyThroughBuffer(int source, int target)
    {
        m_buffer.resize(256 * 1024);
        for (;;) {
            const ssize_t got = ::read(source, m_buffer.data(), m_buffer.size());
            if (got == 0)
                return 0;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t written = ::write(target, m_buffer.data() + done, size_t(got - done));
                if (written < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                done += written;
            }
        }
    }

    static QString finish(int fd, const struct stat &status, mode_t mode, const QString &path)
    {
        const decltype(status.st_mtim) times[2] = {status.st_atim, status.st_mtim};
        if (::fchmod(fd, mode) != 0 || ::futimens(fd, times) != 0)
            return QStringLiteral("Не удалось установить права доступа копии %1: %2").arg(path, systemError(errno));
        return QString();
    }

    struct stat m_skipped;
    std::vector<std::pair<dev_t, ino_t>> m_ancestors;
    std::vector<char> m_buffer;
    qint64 m_total;
    qint64 m_copied = 0;
};

} // namespace

Result copyStagingTree(const QString &source, const QString &target, const struct stat &skipped)
{
    const qint64 total = Job::current() ? payloadBytes(source) : 0;
    const QString error = TreeCopier(skipped, total).copy(source, target);
    return error.isEmpty() ? Result::done() : Result::failure(error);
}
