#include "package/debianmeta.h"

#include <QCryptographicHash>
#include <QFile>
#include <QVector>
#include <QtConcurrent>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const QByteArray installedSizeField = QByteArrayLiteral("Installed-Size:");

// What a walk callback decides about a directory entry.
enum class Visit { Skip, Descend };

// Calls visit(directoryFd, relativePath, type) for every entry below the
// directory open as fd, depth first, in the order the listings return the
// entries. Descends only into real directories for which visit answers
// Descend; links are never followed, so the walk always ends. Unreadable
// directories are skipped. Takes ownership of fd.
void walkDirectory(int fd, const QByteArray &prefix,
                   const std::function<Visit(int, const QByteArray &, unsigned char)> &visit)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            if (::fstatat(::dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                type = IFTODT(status.st_mode);
        }
        const QByteArray relative = prefix + name;
        if (visit(::dirfd(dir), relative, type) != Visit::Descend || type != DT_DIR)
            continue;
        const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0)
            walkDirectory(child, relative + '/', visit);
    }
    ::closedir(dir);
}

void walkTree(const QString &root,
              const std::function<Visit(int, const QByteArray &, unsigned char)> &visit)
{
    // The root itself may be reached through a link, as the user named it.
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        walkDirectory(fd, QByteArray(), visit);
}

QByteArray lastName(const QByteArray &relative)
{
    return relative.mid(relative.lastIndexOf('/') + 1);
}

struct Digest
{
    QByteArray hex;
    QString error;
};

Digest md5Of(const QByteArray &path)
{
    Digest digest;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        digest.error = QString::fromLocal8Bit(std::strerror(errno));
        return digest;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    // One buffer per pool thread: a fresh one per file would cost a mapping
    // and its page faults for each of thousands of small files.
    thread_local std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            digest.error = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        if (got == 0) {
            digest.hex = hash.result().toHex();
            break;
        }
        hash.addData(buffer.data(), int(got));
    }
    ::close(fd);
    return digest;
}

// Hashes one file below the work directory; QtConcurrent needs the result type named.
struct HashBelow
{
    using result_type = Digest;
    QByteArray root;
    Digest operator()(const QByteArray &relative) const { return md5Of(root + relative); }
};

// A name as the user reads it in a message: line breaks made visible.
QString displayName(const QByteArray &relative)
{
    return QFile::decodeName(relative).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

} // namespace

ChecksumList checksumLines(const QString &workDir)
{
    const QByteArray root = QFile::encodeName(workDir) + '/';
    QVector<QByteArray> files;
    ChecksumList list;
    walkTree(workDir, [&](int, const QByteArray &relative, unsigned char type) {
        // Everything whose path begins with W + "/DEBIAN" is package metadata,
        // a sibling such as DEBIAN.old included.
        if (relative.startsWith("DEBIAN") && !relative.contains('/'))
            return Visit::Skip;
        if (type == DT_REG) {
            if (relative.contains('\n'))
                list.unlistable << displayName(relative);
            else
                files << relative;
        }
        return Visit::Descend;
    });

    const QVector<Digest> digests =
        QtConcurrent::blockingMapped<QVector<Digest>>(files, HashBelow{root});

    for (int i = 0; i < files.size(); ++i) {
        const Digest &digest = digests.at(i);
        if (digest.hex.isEmpty())
            list.unreadable << displayName(files.at(i)) + QStringLiteral(": ") + digest.error;
        else
            list.content += digest.hex + "  " + files.at(i) + '\n';
    }
    return list;
}

qint64 payloadBytes(const QString &workDir)
{
    qint64 total = 0;
    walkTree(workDir, [&total](int fd, const QByteArray &relative, unsigned char type) {
        // The control area is no part of what gets installed, whatever it is.
        if (relative == "DEBIAN")
            return Visit::Skip;
        if (type == DT_DIR)
            return Visit::Descend;
        // A link is installed as a link: it counts once, by its own size.
        struct stat status;
        if ((type == DT_REG || type == DT_LNK)
            && ::fstatat(fd, lastName(relative).constData(), &status, AT_SYMLINK_NOFOLLOW) == 0
            && (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode))) {
            total += status.st_size;
        }
        return Visit::Skip;
    });
    return total;
}

qint64 installedSizeKiB(const QString &workDir)
{
    return payloadBytes(workDir) / 1024;
}

bool hasInstalledSizeLine(const QByteArray &text)
{
    return text.startsWith(installedSizeField) || text.contains('\n' + installedSizeField);
}

QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB)
{
    const QByteArray sizeLine = installedSizeField + ' ' + QByteArray::number(sizeKiB) + '\n';
    QByteArray result;
    result.reserve(text.size() + sizeLine.size());
    int start = 0;
    while (start < text.size()) {
        const int newline = text.indexOf('\n', start);
        const int end = newline < 0 ? text.size() : newline + 1;
        if (text.mid(start, installedSizeField.size()) == installedSizeField)
            result += sizeLine;
        else
            result += text.mid(start, end - start);
        start = end;
    }
    return result;
}
