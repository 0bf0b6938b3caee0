#include "package/debianmeta.h"

#include "common/treewalk.h"

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
#include <vector>

namespace {

const QByteArray installedSizeField = QByteArrayLiteral("Installed-Size:");

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
