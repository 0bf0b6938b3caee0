#include "package/debbuild/stagingcopy.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "desktop/accessrights.h"
#include "package/control/packedfiles.h"
#include "package/debbuild/buildphases.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QtConcurrent>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

// Staging by hard link is safe only because nothing in the build ever writes
// to a staged data file or changes its mode: the access modes are decided
// before a file is staged (a file whose own mode differs is copied), the
// control area is always copied, and the staging copy is only read (by
// dpkg-deb and dpkg-shlibdeps) and then unlinked. Whoever changes a step of
// the build must keep it so, or the user's own files change with it.

namespace {

// A file is a program when any of its execute bits is set; everything else
// is data, readable by all.
mode_t baseFileMode(mode_t own)
{
    return (own & 0111) ? 0755 : 0644;
}

// What a file costs the pass besides its bytes (opening, linking or
// creating it), in bytes, so that the progress of many small files is true.
const qint64 costPerFile = 4096;

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

// Why an access line for relative was not applied when no entry of the
// copy had its path: a link on the way, or nothing there. Only looks.
QString whyNotStaged(int root, const QByteArray &relative)
{
    int fd = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
    QString reason = QStringLiteral("файл не найден");
    for (const QByteArray &piece : relative.split('/')) {
        struct stat status;
        if (piece == ".." || ::fstatat(fd, piece.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            break;
        if (S_ISLNK(status.st_mode)) {
            reason = QStringLiteral("путь проходит через ссылку");
            break;
        }
        const int next = ::openat(fd, piece.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (fd < 0)
            break;
    }
    if (fd >= 0)
        ::close(fd);
    return reason;
}

// An access line's path as the walk names entries: no leading, trailing or
// doubled "/", no "." pieces.
QByteArray walkPath(const QByteArray &path)
{
    QList<QByteArray> pieces = path.split('/');
    pieces.removeAll(QByteArray());
    pieces.removeAll(QByteArray("."));
    return pieces.join('/');
}

// Owns a file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
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
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
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

// Copies source to target in the kernel: 0, the error number, or -1 where
// the kernel cannot copy between the two (then read and write instead).
int copyInKernel(int source, int target)
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
            return -1;
        return errno;
    }
}

// Back to the start of both files, the target emptied, for a copy that
// starts again by reading and writing.
int rewind(int source, int target)
{
    if (::lseek(source, 0, SEEK_SET) != 0 || ::lseek(target, 0, SEEK_SET) != 0 || ::ftruncate(target, 0) != 0)
        return errno;
    return 0;
}

// One regular data file as the walk saw it, and what staging it gave.
struct StagedFile
{
    QByteArray relative;
    dev_t device;
    ino_t inode;
    off_t size;
    struct timespec atime;
    struct timespec mtime;
    struct timespec ctime; // once linked
    mode_t mode; // the mode it gets
    int firstName = -1; // the file staged first of the same inode, for a further name of it
    bool packed = true; // dpkg-deb packs it (see leftOutOfPackage)
    bool linked = false;
    FileDigest digest;
    QString error;
};

// A directory of the copy, opened up for the pass and given its own mode
// and times once filled.
struct StagedDirectory
{
    QByteArray relative;
    mode_t mode;
    struct timespec atime;
    struct timespec mtime;
};

// The access lines for one path: the mode of the last, and whether they
// were applied.
struct PathRule
{
    enum State { Unmatched, Applied, OnLink };
    mode_t mode;
    State state;
};

class StagingPass
{
public:
    StagingPass(const QString &source, const struct stat &skipped, const AccessRules &rules)
        : m_source(source)
        , m_skipped(skipped)
        , m_rules(rules)
        , m_job(Job::current())
    {
        for (const AccessRule &rule : rules.rules)
            m_pathRules.insert(walkPath(rule.path), {rule.mode, PathRule::Unmatched});
    }

    // Stages the source at target; the empty text or what went wrong.
    QString stage(const QString &target, StagedData *staged)
    {
        const QByteArray sourceName = QFile::encodeName(m_source);
        const QByteArray targetName = QFile::encodeName(target);
        struct stat status;
        if (::stat(sourceName.constData(), &status) != 0)
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(m_source, systemError(errno));
        if (!S_ISDIR(status.st_mode))
            return QStringLiteral("%1 не является каталогом").arg(m_source);
        // The work directory itself may be reached through a link, as the user
        // named it; the walk and the pool both go through this one descriptor.
        m_sourceRoot.reset(::open(sourceName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!m_sourceRoot.valid() || ::fstat(m_sourceRoot.get(), &status) != 0)
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(m_source, systemError(errno));
        QString error;
        {
            const PhaseTimer timer(BuildPhase::Walk);
            error = stageDirectory(m_sourceRoot.get(), ".", 0, AT_FDCWD, targetName.constData(), status, QByteArray(),
                                   true);
        }
        if (error.isEmpty())
            error = stageFiles();
        if (error.isEmpty())
            error = finishDirectories();
        if (error.isEmpty())
            collect(staged);
        return error;
    }

    QStringList warnings() const { return m_warnings; }

private:
    QString shown(const QByteArray &relative) const
    {
        return relative.isEmpty() ? m_source : m_source + QLatin1Char('/') + QFile::decodeName(relative);
    }

    // The mode an entry gets: the one its access line records, else base.
    mode_t modeFor(const QByteArray &relative, mode_t base)
    {
        const auto rule = m_pathRules.find(relative);
        if (rule == m_pathRules.end())
            return base;
        rule->state = PathRule::Applied;
        return rule->mode;
    }

    QString stageDirectory(int sourceParent, const char *sourceName, int sourceFlags, int targetParent,
                           const char *targetName, const struct stat &status, const QByteArray &relative, bool packed)
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
            m_targetRoot.reset(::fcntl(target.get(), F_DUPFD_CLOEXEC, 0));
        if (packed && !relative.isEmpty()) // the count starts with the root
            m_size.add(status);
        // The root too: its own mode depends on the umask it was made under.
        m_directories.push_back({relative, modeFor(relative, 0755), status.st_atim, status.st_mtim});

        const QByteArray prefix = relative.isEmpty() ? relative : relative + '/';
        while (const dirent *entry = source.next()) {
            const QString error = stageEntry(source.fd(), target.get(), entry->d_name, prefix + entry->d_name, packed);
            if (!error.isEmpty())
                return error;
        }
        if (errno != 0)
            return QStringLiteral("Не удалось прочитать каталог %1: %2").arg(shown(relative), systemError(errno));
        return QString();
    }

    QString stageEntry(int sourceDir, int targetDir, const char *name, const QByteArray &relative, bool packed)
    {
        if (jobCancelled())
            return cancelledText();
        if (isWriterTemporary(name)) {
            m_warnings << QStringLiteral("Временный файл незавершённой записи /%1 в пакет не включён")
                              .arg(displayName(relative));
            return QString();
        }
        struct stat status;
        if (::fstatat(sourceDir, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return QStringLiteral("Не удалось прочитать %1: %2").arg(shown(relative), systemError(errno));
        packed = packed && !leftOutOfPackage(relative);
        if (leftOutNearControlArea(relative)) {
            m_warnings << QStringLiteral("/%1 не входит в пакет: dpkg-deb не упаковывает записи в корне рабочего "
                                         "каталога, имена которых начинаются с DEBIAN. Переименуйте его, если он "
                                         "нужен в пакете, или уберите")
                              .arg(displayName(relative));
            return QString();
        }
        const bool control = relative == "DEBIAN" || relative.startsWith("DEBIAN/");
        if (control && S_ISLNK(status.st_mode))
            return stageLinkedControlEntry(sourceDir, targetDir, name, relative);
        if (S_ISDIR(status.st_mode)) {
            // The private staging directory itself, when the work directory
            // holds the temporary directory: copying it would never end.
            if (status.st_dev == m_skipped.st_dev && status.st_ino == m_skipped.st_ino)
                return QString();
            return stageDirectory(sourceDir, name, O_NOFOLLOW, targetDir, name, status, relative, packed);
        }
        if (S_ISREG(status.st_mode)) {
            if (control)
                return copyControlFile(sourceDir, targetDir, name, status, relative, O_NOFOLLOW);
            if (packed)
                m_size.add(status);
            addFile(status, relative, packed);
            return QString();
        }
        if (S_ISLNK(status.st_mode)) {
            if (packed)
                m_size.add(status);
            return stageLink(sourceDir, targetDir, name, status, relative);
        }
        return QStringLiteral("%1 не является ни обычным файлом, ни каталогом, ни ссылкой").arg(shown(relative));
    }

    // A data file is staged later, by the pool; a further name of an inode
    // already met is linked to the first once that is staged.
    void addFile(const struct stat &status, const QByteArray &relative, bool packed)
    {
        StagedFile file;
        file.relative = relative;
        file.device = status.st_dev;
        file.inode = status.st_ino;
        file.size = status.st_size;
        file.atime = status.st_atim;
        file.mtime = status.st_mtim;
        file.mode = modeFor(relative, baseFileMode(status.st_mode));
        file.packed = packed;
        if (status.st_nlink > 1) {
            const QPair<dev_t, ino_t> inode(status.st_dev, status.st_ino);
            const auto first = m_firstNames.constFind(inode);
            if (first != m_firstNames.constEnd())
                file.firstName = *first;
            else
                m_firstNames.insert(inode, int(m_files.size()));
        }
        // The pool stages and counts first names alone: further ones are linked after it.
        if (file.firstName < 0)
            m_total += file.size + costPerFile;
        m_files.push_back(std::move(file));
    }

    // The control area of the copy is always real: a linked DEBIAN is copied
    // as the directory it leads to, a link in it as the file it leads to, so
    // that nothing the build later changes there lies outside the copy, and
    // dpkg finds files, not links, in the package's control area.
    QString stageLinkedControlEntry(int sourceDir, int targetDir, const char *name, const QByteArray &relative)
    {
        struct stat status;
        if (::fstatat(sourceDir, name, &status, 0) != 0)
            return QStringLiteral("Ссылка %1 никуда не ведёт: %2").arg(shown(relative), systemError(errno));
        if (relative == "DEBIAN" && S_ISDIR(status.st_mode))
            return stageDirectory(sourceDir, name, 0, targetDir, name, status, relative, false);
        if (S_ISREG(status.st_mode))
            return copyControlFile(sourceDir, targetDir, name, status, relative, 0);
        return QStringLiteral("Ссылка %1 ведёт не к %2: в управляющую область пакета копируется то, к чему ведут "
                              "ссылки")
            .arg(shown(relative), relative == "DEBIAN" ? QStringLiteral("каталогу") : QStringLiteral("обычному файлу"));
    }

    QString stageLink(int sourceDir, int targetDir, const char *name, const struct stat &status,
                      const QByteArray &relative)
    {
        const auto rule = m_pathRules.find(relative);
        if (rule != m_pathRules.end())
            rule->state = PathRule::OnLink;
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
    QString copyControlFile(int sourceDir, int targetDir, const char *name, const struct stat &status,
                            const QByteArray &relative, int follow)
    {
        Descriptor source(::openat(sourceDir, name, O_RDONLY | O_NONBLOCK | follow | O_CLOEXEC | O_NOCTTY));
        if (!source.valid())
            return QStringLiteral("Не удалось прочитать файл %1: %2").arg(shown(relative), systemError(errno));
        Descriptor target(::openat(targetDir, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию файла %1: %2").arg(shown(relative), systemError(errno));
        int error = copyInKernel(source.get(), target.get());
        if (error < 0 && (error = rewind(source.get(), target.get())) == 0)
            error = readDigest(source.get(), nullptr, target.get()).error;
        return finishCopy(target, error, modeFor(relative, baseFileMode(status.st_mode)), status.st_atim,
                          status.st_mtim, relative);
    }

    QString finishCopy(Descriptor &target, int error, mode_t mode, const struct timespec &atime,
                       const struct timespec &mtime, const QByteArray &relative) const
    {
        if (error == ECANCELED)
            return cancelledText();
        if (error != 0)
            return QStringLiteral("Не удалось скопировать файл %1: %2").arg(shown(relative), systemError(error));
        const struct timespec times[2] = {atime, mtime};
        if (::fchmod(target.get(), mode) != 0 || ::futimens(target.get(), times) != 0)
            return QStringLiteral("Не удалось установить права доступа копии %1: %2")
                .arg(shown(relative), systemError(errno));
        if ((error = target.close()) != 0)
            return QStringLiteral("Не удалось скопировать файл %1: %2").arg(shown(relative), systemError(error));
        return QString();
    }

    // The data files, on a pool of threads sized to the cores.
    QString stageFiles()
    {
        reportProgress();
        QtConcurrent::blockingMap(m_files, [this](StagedFile &file) {
            if (file.firstName >= 0)
                return;
            file.error = stageFile(file);
            m_done += file.size + costPerFile;
            reportProgress();
        });
        for (StagedFile &file : m_files) {
            if (!file.error.isEmpty())
                return file.error;
            if (file.firstName < 0)
                continue;
            // A further name of a file of the tree: a hard link to its first
            // one, which is a copy of this build's own (the walk met its
            // inode with more than one name), so its mode may change.
            const StagedFile &first = m_files.at(size_t(file.firstName));
            if (::linkat(m_targetRoot.get(), first.relative.constData(), m_targetRoot.get(), file.relative.constData(),
                         0)
                    != 0
                || (file.mode != first.mode
                    && ::fchmodat(m_targetRoot.get(), file.relative.constData(), file.mode, 0) != 0)) {
                return QStringLiteral("Не удалось создать копию %1: %2").arg(shown(file.relative), systemError(errno));
            }
            file.digest = first.digest;
        }
        return QString();
    }

    void reportProgress() const
    {
        if (m_job)
            m_job->reportProgress(m_done, m_total);
    }

    // Stages one data file as a hard link or a copy, and reads its bytes
    // once for the checksum and the ELF magic. Runs on a pool thread.
    QString stageFile(StagedFile &file)
    {
        if (m_job && m_job->cancelled())
            return cancelledText();
        // Reading leaves the file's access time alone where the owner may ask
        // so: writing it back would cost a metadata write per file.
        const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        Descriptor source(::openat(m_sourceRoot.get(), file.relative.constData(), flags | O_NOATIME));
        if (!source.valid() && errno == EPERM)
            source.reset(::openat(m_sourceRoot.get(), file.relative.constData(), flags));
        struct stat status;
        if (!source.valid() || ::fstat(source.get(), &status) != 0)
            return QStringLiteral("Не удалось прочитать файл %1: %2").arg(shown(file.relative), systemError(errno));
        if (status.st_dev != file.device || status.st_ino != file.inode)
            return QStringLiteral("Файл %1 заменён во время сборки").arg(shown(file.relative));
        // An inode the walk met with several names is always copied, even if
        // it has one name left now: its further names in the tree are linked
        // to this copy, and may get other modes.
        if (m_linking && status.st_nlink == 1 && !m_firstNames.contains({file.device, file.inode})
            && (status.st_mode & 07777) == file.mode) {
            const QString linked = link(source.get(), file);
            if (!linked.isEmpty() || file.linked)
                return linked;
        }
        return copy(source.get(), file);
    }

    // Links the open file into the copy; a link that cannot be made is left
    // to a copy, with no error.
    QString link(int source, StagedFile &file)
    {
        char path[32];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", source);
        {
            const PhaseTimer timer(BuildPhase::Copy);
            if (::linkat(AT_FDCWD, path, m_targetRoot.get(), file.relative.constData(), AT_SYMLINK_FOLLOW) != 0) {
                const int error = errno;
                // Another file system, or no /proc: no file will link.
                if (error == EXDEV || error == ENOENT || error == ENOSYS || error == EOPNOTSUPP)
                    m_linking = false;
                else if (error != EPERM && error != EACCES && error != EMLINK)
                    return QStringLiteral("Не удалось создать копию файла %1: %2")
                        .arg(shown(file.relative), systemError(error));
                return QString();
            }
        }
        // What the check after packing compares: linking itself changed the ctime.
        struct stat linked;
        if (::fstat(source, &linked) != 0)
            return QStringLiteral("Не удалось прочитать файл %1: %2").arg(shown(file.relative), systemError(errno));
        file.linked = true;
        file.size = linked.st_size;
        file.mtime = linked.st_mtim;
        file.ctime = linked.st_ctim;
        const PhaseTimer timer(BuildPhase::Hash);
        file.digest = readDigest(source, m_job);
        if (file.digest.error == 0)
            return QString();
        return file.digest.error == ECANCELED ? cancelledText()
                                              : QStringLiteral("Не удалось прочитать файл %1: %2")
                                                    .arg(shown(file.relative), systemError(file.digest.error));
    }

    // Copies the open file into the copy in the kernel, then reads the copy
    // for its checksum: md5sums describes the bytes packed.
    QString copy(int source, StagedFile &file)
    {
        Descriptor target(::openat(m_targetRoot.get(), file.relative.constData(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!target.valid())
            return QStringLiteral("Не удалось создать копию файла %1: %2")
                .arg(shown(file.relative), systemError(errno));
        int error = 0;
        {
            const PhaseTimer timer(BuildPhase::Copy);
            error = copyInKernel(source, target.get());
        }
        const PhaseTimer timer(BuildPhase::Hash);
        if (error < 0 && (error = rewind(source, target.get())) == 0) {
            file.digest = readDigest(source, m_job, target.get());
            error = file.digest.error;
        } else if (error == 0) {
            if (::lseek(target.get(), 0, SEEK_SET) != 0)
                error = errno;
            else
                error = (file.digest = readDigest(target.get(), m_job)).error;
        }
        return finishCopy(target, error, file.mode, file.atime, file.mtime, file.relative);
    }

    // Gives each directory its mode and times, the deepest first, once
    // nothing is added to them any more.
    QString finishDirectories()
    {
        const PhaseTimer timer(BuildPhase::Walk);
        for (auto directory = m_directories.rbegin(); directory != m_directories.rend(); ++directory) {
            const char *name = directory->relative.isEmpty() ? "." : directory->relative.constData();
            const struct timespec times[2] = {directory->atime, directory->mtime};
            if (::fchmodat(m_targetRoot.get(), name, directory->mode, 0) != 0
                || ::utimensat(m_targetRoot.get(), name, times, AT_SYMLINK_NOFOLLOW) != 0) {
                return QStringLiteral("Не удалось установить права доступа копии %1: %2")
                    .arg(shown(directory->relative), systemError(errno));
            }
        }
        return QString();
    }

    // What the pass learnt, and its warnings.
    void collect(StagedData *staged)
    {
        for (const StagedFile &file : m_files) {
            if (file.linked)
                staged->linked.push_back({file.relative, file.size, file.mtime, file.ctime});
            else
                staged->copied.push_back(file.relative);
            if (!file.packed)
                continue;
            if (file.relative.contains('\n')) {
                m_warnings << QStringLiteral("Имя файла содержит перевод строки, в md5sums его нет: %1")
                                  .arg(displayName(file.relative));
            } else {
                staged->md5sums += md5sumsLine(file.digest.md5, file.relative);
                if (file.relative.startsWith("etc/"))
                    staged->etcFiles << file.relative;
            }
            if (file.digest.elf)
                staged->elfFiles << file.relative;
        }
        staged->installedSizeKiB = m_size.kib();
        m_files = {};
        // Another package may well provide a link's target: a warning, not a failure.
        for (const auto &link : qAsConst(m_links)) {
            if (!resolvesInside(m_targetRoot.get(), link.first))
                m_warnings << QStringLiteral("Ссылка /%1 указывает на %2, которого нет в пакете")
                                  .arg(QFile::decodeName(link.first), QFile::decodeName(link.second));
        }
        QStringList notes = m_rules.skipped;
        for (const AccessRule &rule : m_rules.rules) {
            const QByteArray path = walkPath(rule.path);
            const PathRule::State state = m_pathRules.value(path).state;
            if (state == PathRule::OnLink)
                notes << skippedNote(rule.line, QStringLiteral("это ссылка"));
            else if (state == PathRule::Unmatched)
                notes << skippedNote(rule.line, whyNotStaged(m_targetRoot.get(), path));
        }
        m_warnings = notes + m_warnings;
    }

    const QString m_source;
    const struct stat m_skipped;
    const AccessRules &m_rules;
    Job *const m_job; // the pool's threads have none of their own
    QHash<QByteArray, PathRule> m_pathRules; // by the path as the walk names it
    Descriptor m_sourceRoot;
    Descriptor m_targetRoot;
    std::vector<StagedFile> m_files;
    std::vector<StagedDirectory> m_directories;
    QHash<QPair<dev_t, ino_t>, int> m_firstNames; // each inode of several names: its first file
    QList<QPair<QByteArray, QByteArray>> m_links;
    InstalledSizeCount m_size;
    QStringList m_warnings;
    std::atomic<bool> m_linking{true};
    std::atomic<qint64> m_done{0};
    qint64 m_total = 0;
};

} // namespace

Result stagePackage(const QString &source, const QString &target, const struct stat &skipped, const AccessRules &rules,
                    StagedData *staged)
{
    StagingPass pass(source, skipped, rules);
    const QString error = pass.stage(target, staged);
    if (!error.isEmpty())
        return Result::failure(error);
    return Result::doneWith(pass.warnings());
}

Result checkLinkedFiles(const QString &workDir, const QString &staging, const StagedData &staged)
{
    const PhaseTimer timer(BuildPhase::Verify);
    const Descriptor root(::open(QFile::encodeName(staging).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto changed = [&root](const LinkedFile &file) {
        struct stat now;
        return ::fstatat(root.get(), file.relative.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0
               || now.st_size != file.size || now.st_mtim.tv_sec != file.mtime.tv_sec
               || now.st_mtim.tv_nsec != file.mtime.tv_nsec || now.st_ctim.tv_sec != file.ctime.tv_sec
               || now.st_ctim.tv_nsec != file.ctime.tv_nsec;
    };
    // The first in walk order, so that the same change is always named alike.
    std::atomic<size_t> first{staged.linked.size()};
    QtConcurrent::blockingMap(staged.linked, [&](const LinkedFile &file) {
        const size_t index = size_t(&file - staged.linked.data());
        size_t seen = first;
        if (changed(file)) {
            while (index < seen && !first.compare_exchange_weak(seen, index)) { }
        }
    });
    if (first == staged.linked.size())
        return Result::done();
    return Result::failure(QStringLiteral("Файл %1 изменён во время сборки: его контрольная сумма в пакете уже "
                                          "неверна. Пакет не сохранён, соберите его ещё раз.")
                               .arg(workDir + QLatin1Char('/') + displayName(staged.linked.at(first).relative)));
}

void removeStagedFiles(const QString &staging, const StagedData &staged)
{
    const PhaseTimer timer(BuildPhase::Cleanup);
    const Descriptor root(::open(QFile::encodeName(staging).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return;
    QtConcurrent::blockingMap(
        staged.linked, [&root](const LinkedFile &file) { ::unlinkat(root.get(), file.relative.constData(), 0); });
    QtConcurrent::blockingMap(staged.copied,
                              [&root](const QByteArray &file) { ::unlinkat(root.get(), file.constData(), 0); });
}
