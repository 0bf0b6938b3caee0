#include "package/debianmeta.h"

#include "common/job.h"
#include "common/paths.h"
#include "common/textfiles.h"
#include "common/treewalk.h"
#include "package/controlcheck.h"
#include "package/relations.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QSet>
#include <QVector>
#include <QtConcurrent>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const QByteArray installedSizeField = QByteArrayLiteral("Installed-Size");

// What dpkg-deb does not pack: every top-level entry whose name begins with
// "DEBIAN" (the control area, and siblings such as DEBIAN.old), and the
// temporaries of writes still running or cut short, which the staging copy
// leaves out.
bool leftOutOfPackage(const QByteArray &relative)
{
    return (relative.startsWith("DEBIAN") && !relative.contains('/')) || isWriterTemporary(lastName(relative));
}

struct Digest
{
    QByteArray hex;
    QString error;
};

Digest md5Of(const QByteArray &path, const Job *job)
{
    Digest digest;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        digest.error = systemError(errno);
        return digest;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    // One buffer per pool thread: a fresh one per file would cost a mapping
    // and its page faults for each of thousands of small files.
    thread_local std::vector<char> buffer(256 * 1024);
    for (;;) {
        if (job && job->cancelled()) {
            digest.error = cancelledText();
            break;
        }
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            digest.error = systemError(errno);
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

// Hashes one file below the work directory for the job of the thread that
// started the refresh (the pool threads have none of their own), counting
// the files done; QtConcurrent needs the result type named.
struct HashBelow
{
    using result_type = Digest;
    QByteArray root;
    Job *job;
    std::shared_ptr<std::atomic<qint64>> done;
    qint64 total;
    Digest operator()(const QByteArray &relative) const
    {
        const Digest digest = md5Of(root + relative, job);
        if (job)
            job->reportProgress(++*done, total);
        return digest;
    }
};

} // namespace

ChecksumList checksumLines(const QString &workDir)
{
    const QByteArray root = QFile::encodeName(workDir) + '/';
    QVector<QByteArray> files;
    ChecksumList list;
    walkTree(workDir, [&](int, const QByteArray &relative, unsigned char type) {
        if (leftOutOfPackage(relative))
            return Visit::Skip;
        if (type == DT_REG) {
            if (relative.contains('\n'))
                list.unlistable << displayName(relative);
            else
                files << relative;
        }
        return Visit::Descend;
    });

    const QVector<Digest> digests = QtConcurrent::blockingMapped<QVector<Digest>>(
        files, HashBelow{root, Job::current(), std::make_shared<std::atomic<qint64>>(0), files.size()});

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
    // dpkg-gencontrol's count: each regular file and link by its size in
    // KiB rounded up, a hard-linked inode once, every other object (the root
    // directory included) as 1.
    qint64 size = 1;
    QSet<QPair<dev_t, ino_t>> linked;
    walkTree(workDir, [&](int fd, const QByteArray &relative, unsigned char) {
        if (leftOutOfPackage(relative))
            return Visit::Skip;
        struct stat status;
        if (::fstatat(fd, lastName(relative).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return Visit::Skip;
        if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
            size += 1;
        else if (status.st_nlink < 2 || !linked.contains({status.st_dev, status.st_ino}))
            size += (status.st_size + 1023) / 1024;
        if (status.st_nlink > 1)
            linked.insert({status.st_dev, status.st_ino});
        return Visit::Descend;
    });
    return size;
}

bool hasInstalledSizeLine(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n')) {
        if (sameFieldName(controlFieldName(line), installedSizeField))
            return true;
    }
    return false;
}

QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB)
{
    const QByteArray sizeLine = "Installed-Size: " + QByteArray::number(sizeKiB) + '\n';
    QByteArray result;
    result.reserve(text.size() + sizeLine.size());
    int start = 0;
    while (start < text.size()) {
        const int newline = text.indexOf('\n', start);
        const int end = newline < 0 ? text.size() : newline + 1;
        const QByteArray line = text.mid(start, end - start);
        result += sameFieldName(controlFieldName(line), installedSizeField) ? sizeLine : line;
        start = end;
    }
    return result;
}

Result writeChecksums(const QString &workDir)
{
    if (!QFileInfo(workDir).isDir())
        return Result::failure(QStringLiteral("Каталог %1 не найден").arg(workDir));
    const QString debianDir = workDir + QStringLiteral("/DEBIAN");
    if (!QFileInfo(debianDir).isDir())
        return Result::failure(QStringLiteral("Файл md5sums не найден"));
    const ChecksumList list = checksumLines(workDir);
    // From here md5sums is written: a cancel that comes later is refused.
    if (!commitJob())
        return Result::failure(cancelledText());
    const Result written = writeFileAtomically(debianDir + QStringLiteral("/md5sums"), list.content);
    if (written.failed())
        return written;
    QStringList leftOut;
    if (!list.unlistable.isEmpty()) {
        leftOut << QStringLiteral("Имена этих файлов содержат перевод строки, в md5sums их записать нельзя:\n")
                       + list.unlistable.join(QLatin1Char('\n'));
    }
    if (!list.unreadable.isEmpty()) {
        leftOut << QStringLiteral("Эти файлы не удалось прочитать, в md5sums их нет:\n")
                       + list.unreadable.join(QLatin1Char('\n'));
    }
    if (!leftOut.isEmpty())
        return Result::failure(leftOut.join(QStringLiteral("\n\n")));
    return Result::done();
}

QByteArray withInstalledSizeSet(const QByteArray &control, qint64 sizeKiB)
{
    // dpkg-deb refuses a last line without its line break, which the editor
    // does not add.
    if (hasInstalledSizeLine(control)) {
        const QByteArray text = withInstalledSize(control, sizeKiB);
        return text.endsWith('\n') ? text : text + '\n';
    }
    QByteArray text = control;
    while (!text.isEmpty() && isControlSpace(text.back()))
        text.chop(1);
    return text + "\nInstalled-Size: " + QByteArray::number(sizeKiB) + '\n';
}

Result refreshInstalledSize(const QString &workDir, bool addWhenMissing)
{
    const QString path = workDir + QStringLiteral("/DEBIAN/control");
    // Anything but a regular file (a FIFO would block the read for ever) is refused.
    QByteArray text;
    const Result read = readRegularFile(path, &text);
    if (read.failed())
        return read;
    if (!addWhenMissing && !hasInstalledSizeLine(text))
        return Result::done();
    const qint64 size = installedSizeKiB(workDir);
    const QByteArray updated = addWhenMissing ? withInstalledSizeSet(text, size) : withInstalledSize(text, size);
    if (updated == text)
        return Result::done();
    return writeFileAtomically(path, updated);
}
