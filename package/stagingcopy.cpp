#include "package/stagingcopy.h"

#include "common/job.h"
#include "common/paths.h"
#include "common/textfiles.h"
#include "common/treewalk.h"
#include "package/debianmeta.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// A file is a program when any of its execute bits is set; everything else
// is data, readable by all.
mode_t baseFileMode(mode_t own)
{
    return (own & 0111) ? 0755 : 0644;
}

// Whether the link at relative below root leads to something inside the
// tree, resolved as on the installed system: an absolute target starts at
// root and ".." stops there, so nothing outside root is ever looked at.
bool resolvesInside(int root, const QByteArray &relative)
{
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_IN_ROOT;
    const long fd = ::syscall(SYS_openat2, root, relative.constData(), &how, sizeof how);
    if (fd >= 0) {
        ::close(int(fd));
        return true;
    }
    // A kernel or sandbox that cannot resolve inside a root has nothing to say either way.
    return errno == ENOSYS || errno == EPERM;
}

// Owns a file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
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
    // Opens name below the directory parentFd (AT_FDCWD for a plain path);
    // flags adds O_NOFOLLOW where a link must not be entered.
    Directory(int parentFd, const char *name, int flags)
    {
        const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
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

// Copies a tree the way the staging copy needs it (see copyStagingTree).
// Files are copied in the kernel where possible and otherwise through a
// small buffer, never read whole.
class TreeCopier
{
public:
    // total: the bytes expected, for the progress of the current job.
    TreeCopier(const QString &source, const struct stat &skipped, qint64 total)
        : m_source(source)
        , m_skipped(skipped)
        , m_total(total)
    { }

    // Copies the directory source to target, which must not exist yet.
    // Returns the empty text or what went wrong.
    QString copy(const QString &target)
    {
        const QByteArray sourceName = QFile::encodeName(m_source);
        const QByteArray targetName = QFile::encodeName(target);
        struct stat status;
        if (::stat(sourceName.constData(), &status) != 0)
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(m_source, systemError(errno));
        if (!S_ISDIR(status.st_mode))
            return QStringLiteral("%1 не является каталогом").arg(m_source);
        // The work directory itself may be reached through a link, as the user named it.
        return copyDirectory(AT_FDCWD, sourceName.constData(), 0, AT_FDCWD, targetName.constData(), status,
                             status.st_mode & 07777, QByteArray());
    }

    // The links copied: each path below the top with its target.
    const QList<QPair<QByteArray, QByteArray>> &links() const { return m_links; }
    // The temporaries of unfinished writes left out, each path below the top.
    const QList<QByteArray> &leftOut() const { return m_leftOut; }

private:
    QString shown(const QByteArray &relative) const
    {
        return relative.isEmpty() ? m_source : m_source + QLatin1Char('/') + QFile::decodeName(relative);
    }

    QString copyDirectory(int sourceParent, const char *sourceName, int sourceFlags, int targetParent,
                          const char *targetName, const struct stat &status, mode_t mode, const QByteArray &relative)
    {
        Directory source(sourceParent, sourceName, sourceFlags);
        if (!source.valid())
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(shown(relative), systemError(errno));
        // Made private first and opened up once filled, whatever the source's mode.
        if (::mkdirat(targetParent, targetName, 0700) != 0)
            return QStringLiteral("Не удалось создать копию каталога %1: %2").arg(shown(relative), systemError(errno));
        Descriptor target(::openat(targetParent, targetName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию каталога %1: %2").arg(shown(relative), systemError(errno));
        if (relative.isEmpty())
            m_targetRoot = target.get();

        const QByteArray prefix = relative.isEmpty() ? relative : relative + '/';
        QString error;
        while (const dirent *entry = source.next()) {
            error = copyEntry(source.fd(), target.get(), entry->d_name, prefix + entry->d_name);
            if (!error.isEmpty())
                break;
        }
        if (error.isEmpty() && errno != 0)
            error = QStringLiteral("Не удалось прочитать каталог %1: %2").arg(shown(relative), systemError(errno));
        if (!error.isEmpty())
            return error;
        return finish(target.get(), status, mode, relative);
    }

    QString copyEntry(int sourceDir, int targetDir, const char *name, const QByteArray &relative)
    {
        if (jobCancelled())
            return cancelledText();
        if (isWriterTemporary(name)) {
            m_leftOut << relative;
            return QString();
        }
        struct stat status;
        if (::fstatat(sourceDir, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return QStringLiteral("Не удалось прочитать %1: %2").arg(shown(relative), systemError(errno));
        const bool control = relative == "DEBIAN" || relative.startsWith("DEBIAN/");
        if (control && S_ISLNK(status.st_mode))
            return copyLinkedControlEntry(sourceDir, targetDir, name, relative);
        if (S_ISDIR(status.st_mode)) {
            // The private staging directory itself, when the work directory
            // holds the temporary directory: copying it would never end.
            if (status.st_dev == m_skipped.st_dev && status.st_ino == m_skipped.st_ino)
                return QString();
            return copyDirectory(sourceDir, name, O_NOFOLLOW, targetDir, name, status, 0755, relative);
        }
        if (S_ISREG(status.st_mode))
            return control ? copyFile(sourceDir, targetDir, name, status, relative, O_NOFOLLOW)
                           : copyFileOrHardLink(sourceDir, targetDir, name, status, relative);
        if (S_ISLNK(status.st_mode))
            return copyLink(sourceDir, targetDir, name, status, relative);
        return QStringLiteral("%1 не является ни обычным файлом, ни каталогом, ни ссылкой").arg(shown(relative));
    }

    // The control area of the copy is always real: a linked DEBIAN is copied
    // as the directory it leads to, a link in it as the file it leads to, so
    // that nothing the build later changes there lies outside the copy, and
    // dpkg finds files, not links, in the package's control area.
    QString copyLinkedControlEntry(int sourceDir, int targetDir, const char *name, const QByteArray &relative)
    {
        struct stat status;
        if (::fstatat(sourceDir, name, &status, 0) != 0)
            return QStringLiteral("Ссылка %1 никуда не ведёт: %2").arg(shown(relative), systemError(errno));
        if (relative == "DEBIAN" && S_ISDIR(status.st_mode))
            return copyDirectory(sourceDir, name, 0, targetDir, name, status, 0755, relative);
        if (S_ISREG(status.st_mode))
            return copyFile(sourceDir, targetDir, name, status, relative, 0);
        return QStringLiteral("Ссылка %1 ведёт не к %2: в управляющую область пакета копируется то, к чему ведут "
                              "ссылки")
            .arg(shown(relative), relative == "DEBIAN" ? QStringLiteral("каталогу") : QStringLiteral("обычному файлу"));
    }

    // Hard links stay hard links, as dpkg-deb would pack them from the work
    // directory itself.
    QString copyFileOrHardLink(int sourceDir, int targetDir, const char *name, const struct stat &status,
                               const QByteArray &relative)
    {
        const QPair<dev_t, ino_t> inode(status.st_dev, status.st_ino);
        const auto first = m_hardLinks.constFind(inode);
        if (first != m_hardLinks.constEnd()) {
            if (::linkat(m_targetRoot, first->constData(), targetDir, name, 0) != 0)
                return QStringLiteral("Не удалось создать копию %1: %2").arg(shown(relative), systemError(errno));
            return QString();
        }
        if (status.st_nlink > 1)
            m_hardLinks.insert(inode, relative);
        return copyFile(sourceDir, targetDir, name, status, relative, O_NOFOLLOW);
    }

    QString copyLink(int sourceDir, int targetDir, const char *name, const struct stat &status,
                     const QByteArray &relative)
    {
        QByteArray linked(int(status.st_size) + 1, Qt::Uninitialized);
        for (;;) {
            const ssize_t length = ::readlinkat(sourceDir, name, linked.data(), size_t(linked.size()));
            if (length < 0)
                return QStringLiteral("Не удалось прочитать ссылку %1: %2").arg(shown(relative), systemError(errno));
            if (length < linked.size()) {
                linked.truncate(int(length));
                break;
            }
            // Changed since its status was read: try again with room to spare.
            linked.resize(linked.size() * 2);
        }
        const decltype(status.st_mtim) times[2] = {status.st_atim, status.st_mtim};
        if (::symlinkat(linked.constData(), targetDir, name) != 0
            || ::utimensat(targetDir, name, times, AT_SYMLINK_NOFOLLOW) != 0) {
            return QStringLiteral("Не удалось создать копию ссылки %1: %2").arg(shown(relative), systemError(errno));
        }
        m_links << qMakePair(relative, linked);
        return QString();
    }

    // follow: O_NOFOLLOW, or 0 where a link is to be read through.
    QString copyFile(int sourceDir, int targetDir, const char *name, const struct stat &status,
                     const QByteArray &relative, int follow)
    {
        Descriptor source(::openat(sourceDir, name, O_RDONLY | follow | O_CLOEXEC | O_NOCTTY));
        if (!source.valid())
            return QStringLiteral("Не удалось прочитать файл %1: %2").arg(shown(relative), systemError(errno));
        Descriptor target(::openat(targetDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию файла %1: %2").arg(shown(relative), systemError(errno));
        int error = copyContent(source.get(), target.get());
        if (error == 0) {
            const QString finished = finish(target.get(), status, baseFileMode(status.st_mode), relative);
            if (!finished.isEmpty())
                return finished;
            error = target.close();
            m_copied += status.st_size;
            reportJobProgress(m_copied, m_total);
        }
        if (error != 0)
            return QStringLiteral("Не удалось скопировать файл %1: %2").arg(shown(relative), systemError(error));
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

    QString finish(int fd, const struct stat &status, mode_t mode, const QByteArray &relative) const
    {
        const decltype(status.st_mtim) times[2] = {status.st_atim, status.st_mtim};
        if (::fchmod(fd, mode) != 0 || ::futimens(fd, times) != 0)
            return QStringLiteral("Не удалось установить права доступа копии %1: %2")
                .arg(shown(relative), systemError(errno));
        return QString();
    }

    QString m_source;
    struct stat m_skipped;
    int m_targetRoot = -1;
    QHash<QPair<dev_t, ino_t>, QByteArray> m_hardLinks; // each inode's first copy
    QList<QPair<QByteArray, QByteArray>> m_links;
    QList<QByteArray> m_leftOut;
    std::vector<char> m_buffer;
    qint64 m_total;
    qint64 m_copied = 0;
};

} // namespace

Result copyStagingTree(const QString &source, const QString &target, const struct stat &skipped)
{
    TreeCopier copier(source, skipped, Job::current() ? payloadBytes(source) : 0);
    const QString error = copier.copy(target);
    if (!error.isEmpty())
        return Result::failure(error);
    QStringList notes;
    for (const QByteArray &name : copier.leftOut())
        notes << QStringLiteral("Временный файл незавершённой записи /%1 в пакет не включён").arg(displayName(name));
    if (copier.links().isEmpty())
        return Result::doneWith(notes);
    Descriptor root(::open(QFile::encodeName(target).constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.valid())
        return Result::failure(QStringLiteral("Не удалось открыть копию %1: %2").arg(target, systemError(errno)));
    // Another package may well provide the target: a warning, not a failure.
    for (const auto &link : copier.links()) {
        if (!resolvesInside(root.get(), link.first))
            notes << QStringLiteral("Ссылка /%1 указывает на %2, которого нет в пакете")
                         .arg(QFile::decodeName(link.first), QFile::decodeName(link.second));
    }
    return Result::doneWith(notes);
}
