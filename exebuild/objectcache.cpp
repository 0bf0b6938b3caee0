#include "exebuild/objectcache.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry: this line, the key, the SHA-256 of the content (hex, a line
// each), then the content.
const QByteArray entryMagic = "bexlor-object-cache-1\n";
constexpr int hexLength = 64;
constexpr int headerLength = 22 + 2 * (hexLength + 1);
constexpr qint64 blockSize = 1 << 16;

QByteArray header(const QString &key, const QByteArray &digest)
{
    return entryMagic + key.toLatin1() + '\n' + digest.toHex() + '\n';
}

int readAll(int fd, char *data, qint64 size, qint64 *got)
{
    *got = 0;
    while (*got < size) {
        const ssize_t n = ::read(fd, data + *got, size_t(size - *got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        *got += n;
    }
    return 0;
}

using Sink = std::function<int(const char *, qint64)>;

// Reads in to its end in blocks into sink: 0 or the errno of what failed.
int streamBlocks(int in, const Sink &sink)
{
    QByteArray block(int(blockSize), Qt::Uninitialized);
    qint64 got = 0;
    do {
        if (const int error = readAll(in, block.data(), blockSize, &got))
            return error;
        if (const int error = got > 0 ? sink(block.constData(), got) : 0)
            return error;
    } while (got == blockSize);
    return 0;
}

// Streams the content of the open entry in to sink, checking the key and the
// digest: 0, the errno of a failed read or of sink, or EBADMSG for an entry
// that is not what its key names. The sink may have taken bytes before an
// EBADMSG: the caller throws them away.
int readChecked(int in, const QString &key, const Sink &sink)
{
    QByteArray head(headerLength, Qt::Uninitialized);
    qint64 got = 0;
    if (const int error = readAll(in, head.data(), headerLength, &got))
        return error;
    if (got != headerLength || !head.startsWith(entryMagic + key.toLatin1() + '\n'))
        return EBADMSG;
    const QByteArray digest = head.mid(entryMagic.size() + hexLength + 1, hexLength);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (const int error = streamBlocks(in, [&](const char *data, qint64 size) {
            hash.addData(data, int(size));
            return sink(data, size);
        }))
        return error;
    return hash.result().toHex() == digest ? 0 : EBADMSG;
}

QString dropped(const QString &entry, int error)
{
    const QString why = error == EBADMSG ? QStringLiteral("повреждена или сделана для другого модуля")
                                         : QStringLiteral("не читается (%1)").arg(systemError(error));
    return QStringLiteral("Запись кэша сборки %1 %2: она удалена, модуль собирается заново").arg(entry, why);
}

} // namespace

QString objectCacheDirectory()
{
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.startsWith(QLatin1Char('/')))
        return cache + QStringLiteral("/bexlor-builder");
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/.cache/bexlor-builder");
}

QString cacheKey(const QList<QByteArray> &parts)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QByteArray &part : parts) {
        hash.addData(QByteArray::number(part.size()) + ':');
        hash.addData(part);
    }
    return QString::fromLatin1(hash.result().toHex());
}

ObjectCache::ObjectCache(const QString &directory)
    : m_directory(directory)
{
    struct stat status;
    if (m_directory.isEmpty() || ::lstat(QFile::encodeName(m_directory).constData(), &status) != 0)
        return;
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & 022) != 0) {
        m_warnings << QStringLiteral("Кэш сборки %1 не используется: это не каталог, он принадлежит другому "
                                     "пользователю или в него могут писать другие")
                          .arg(m_directory);
        m_directory.clear();
    }
}

QString ObjectCache::path(const QString &key, const QString &suffix) const
{
    return m_directory + QLatin1Char('/') + key + suffix;
}

void ObjectCache::prune()
{
    if (m_directory.isEmpty())
        return;
    static const QRegularExpression entryName(QStringLiteral("^[0-9a-f]{64}\\.[a-z]+$"));
    const qint64 oldest = QDateTime::currentSecsSinceEpoch() - qint64(cacheKeepDays) * 24 * 3600;
    const QStringList names = QDir(m_directory).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QByteArray entry = QFile::encodeName(path(name, QString()));
        struct stat status;
        if (entryName.match(name).hasMatch() && ::lstat(entry.constData(), &status) == 0 && status.st_mtime < oldest)
            ::unlink(entry.constData());
    }
}

// The entry open for reading, marked as used now; -1 with *found false when
// there is none, and with *problem the warning when one that could not be
// used was removed.
int ObjectCache::openEntry(const QString &entry, bool *found, Result *problem) const
{
    *found = false;
    if (m_directory.isEmpty())
        return -1;
    const QByteArray name = QFile::encodeName(entry);
    // A link is never followed: the entry is the link, and goes.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    struct stat status;
    if (fd < 0 && error == ENOENT)
        return -1;
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)))
        error = EBADMSG;
    if (error == 0) {
        // What a build uses lives on: pruning goes by the last use.
        ::futimens(fd, nullptr);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    ::unlink(name.constData());
    *problem = Result::doneWith({dropped(entry, error == ELOOP ? EBADMSG : error)});
    return -1;
}

Result ObjectCache::fetch(const QString &key, const QString &suffix, const QString &target, bool *found) const
{
    const QString entry = path(key, suffix);
    Result result;
    const int in = openEntry(entry, found, &result);
    if (in < 0)
        return result;
    // A read of the entry that failed is the entry's fault; a write of the
    // copy that failed is the build's.
    int entryError = 0, copyError = 0;
    result = writeThroughTemporary(target, 0600, [&](int out) {
        entryError = readChecked(in, key,
                                 [&](const char *data, qint64 size) { return copyError = writeAll(out, data, size); });
        return entryError;
    });
    ::close(in);
    if (result.success || copyError != 0 || entryError == 0) {
        *found = result.success;
        return result;
    }
    ::unlink(QFile::encodeName(entry).constData());
    return Result::doneWith({dropped(entry, entryError)});
}

Result ObjectCache::load(const QString &key, const QString &suffix, QByteArray *data, bool *found) const
{
    const QString entry = path(key, suffix);
    Result result;
    const int in = openEntry(entry, found, &result);
    if (in < 0)
        return result;
    data->clear();
    const int error = readChecked(in, key, [data](const char *bytes, qint64 size) {
        data->append(bytes, int(size));
        return 0;
    });
    ::close(in);
    if (error == 0) {
        *found = true;
        return Result::done();
    }
    data->clear();
    ::unlink(QFile::encodeName(entry).constData());
    return Result::doneWith({dropped(entry, error)});
}

namespace {

// Keeps what content writes as the entry at path: a header naming key and
// the content's digest, which goes in front last, then the content; a
// failure is the warning to show.
Result keep(const QString &directory, const QString &path, const QString &key,
            const std::function<int(const Sink &)> &content)
{
    const Result made = makePath(directory, 0700);
    const Result written = made.failed() ? made : writeThroughTemporary(path, 0600, [&](int out) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (::lseek(out, headerLength, SEEK_SET) < 0)
            return errno;
        if (const int error = content([&](const char *data, qint64 size) {
                hash.addData(data, int(size));
                return writeAll(out, data, size);
            }))
            return error;
        const QByteArray head = header(key, hash.result());
        const ssize_t put = ::pwrite(out, head.constData(), size_t(head.size()), 0);
        return put < 0 ? errno : put == head.size() ? 0 : EIO;
    });
    if (written.failed())
        return Result::doneWith({QStringLiteral("Кэш сборки не пополнен: ") + written.message});
    return Result::done();
}

} // namespace

Result ObjectCache::storeFile(const QString &key, const QString &suffix, const QString &file) const
{
    if (m_directory.isEmpty())
        return Result::done();
    const int in = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Result::doneWith(
            {QStringLiteral("Кэш сборки не пополнен: файл %1 не читается (%2)").arg(file, systemError(errno))});
    const Result kept = keep(m_directory, path(key, suffix), key,
                             [in](const Sink &sink) { return streamBlocks(in, sink); });
    ::close(in);
    return kept;
}

Result ObjectCache::store(const QString &key, const QString &suffix, const QByteArray &data) const
{
    if (m_directory.isEmpty())
        return Result::done();
    return keep(m_directory, path(key, suffix), key,
                [&data](const Sink &sink) { return sink(data.constData(), data.size()); });
}
