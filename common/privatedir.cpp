#include "common/privatedir.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const QString prefix = QStringLiteral("bexlor-");
// Marks a directory as made here: a user's own "bexlor-…" directory lacks
// it and is never taken for a leftover.
const QByteArray marker = "/.bexlor-builder-private";

// Opens and locks a directory without blocking; -1 if it cannot be opened
// or another process holds the lock.
int lockDirectory(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes the private directories in parent that belong to this user and
// that no living process holds locked: the leftovers of killed builds.
// Other users' entries and links are never touched.
void removeStaleDirectories(const QString &parent)
{
    const QStringList names = QDir(parent).entryList({prefix + QStringLiteral("??????")},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : names) {
        const QByteArray path = QFile::encodeName(parent + QLatin1Char('/') + name);
        struct stat status;
        if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()
            || ::lstat((path + marker).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        const int fd = lockDirectory(path);
        if (fd < 0)
            continue;
        removeTree(QFile::decodeName(path));
        ::close(fd);
    }
}

// TMPDIR as given, or /tmp without it. Not QDir::tempPath, which makes a
// TMPDIR that does not exist the empty text, that is the root directory.
QString temporaryDirectory()
{
    const QString given = QFile::decodeName(qgetenv("TMPDIR"));
    return given.isEmpty() ? QStringLiteral("/tmp") : QDir::cleanPath(given);
}

} // namespace

PrivateDirectory::PrivateDirectory(const QString &parent)
{
    const QString base = parent.isEmpty() ? temporaryDirectory() : parent;
    removeStaleDirectories(base);
    QByteArray name = QFile::encodeName(base + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
    int error = 0;
    if (::mkdtemp(name.data())) {
        m_lock = lockDirectory(name);
        const int markerFd = m_lock < 0
                                 ? -1
                                 : ::open((name + marker).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (markerFd >= 0) {
            ::close(markerFd);
            m_path = QFile::decodeName(name);
            return;
        }
        error = errno; // before the clean-up below can change it
        if (m_lock >= 0)
            ::close(m_lock);
        m_lock = -1;
        ::rmdir(name.constData());
    } else {
        error = errno;
    }
    // The directory is named, and so is TMPDIR when the place came from it.
    const QString where = parent.isEmpty() && !qEnvironmentVariableIsEmpty("TMPDIR")
                              ? QStringLiteral("%1 (каталог из переменной TMPDIR)").arg(base)
                              : base;
    m_made = Result::failure(
        QStringLiteral("Не удалось создать временный каталог в %1: %2").arg(where, systemError(error)));
}

Result PrivateDirectory::remove()
{
    if (m_path.isEmpty())
        return Result::done();
    const Result removed = removeTree(m_path);
    m_path.clear();
    ::close(m_lock);
    m_lock = -1;
    return removed;
}
