#include "package/debianmeta.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
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

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const QByteArray installedSizeField = QByteArrayLiteral("Installed-Size");

FileDigest md5Of(const QByteArray &path, const Job *job)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        FileDigest failed;
        failed.error = errno;
        return failed;
    }
    const FileDigest digest = readDigest(fd, job);
    ::close(fd);
    return digest;
}

// Hashes one file below the work directory for the job of the thread that
// started the refresh (the pool threads have none of their own), counting
// the files done; QtConcurrent needs the result type named.
struct HashBelow
{
    using result_type = FileDigest;
    QByteArray root;
    Job *job;
    std::shared_ptr<std::atomic<qint64>> done;
    qint64 total;
    FileDigest operator()(const QByteArray &relative) const
    {
        const FileDigest digest = md5Of(root + relative, job);
        if (job)
            job->reportProgress(++*done, total);
        return digest;
    }
};

} // namespace

bool leftOutOfPackage(const QByteArray &relative)
{
    return (relative.startsWith("DEBIAN") && !relative.contains('/')) || isWriterTemporary(lastName(relative));
}

FileDigest readDigest(int fd, const Job *job, int copyTo)
{
    FileDigest digest;
    QCryptographicHash hash(QCryptographicHash::Md5);
    // One buffer per thread: a fresh one per file would cost a mapping and
    // its page faults for each of thousands of small files.
    thread_local std::vector<char> buffer(256 * 1024);
    QByteArray head;
    for (;;) {
        if (job && job->cancelled()) {
            digest.error = ECANCELED;
            return digest;
        }
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            digest.error = errno;
            return digest;
        }
        if (got == 0)
            break;
        hash.addData(buffer.data(), int(got));
        if (head.size() < 4)
            head += QByteArray(buffer.data(), int(qMin<ssize_t>(got, 4 - head.size())));
        if (copyTo >= 0 && (digest.error = writeAll(copyTo, buffer.data(), got)) != 0)
            return digest;
    }
    digest.md5 = hash.result().toHex();
    digest.elf = head
                 == QByteArrayLiteral("\x7f"
                                      "ELF");
    return digest;
}

void InstalledSizeCount::add(const struct stat &status)
{
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        m_kib += 1;
    else if (status.st_nlink < 2 || !m_linked.contains({status.st_dev, status.st_ino}))
        m_kib += (status.st_size + 1023) / 1024;
    if (status.st_nlink > 1)
        m_linked.insert({status.st_dev, status.st_ino});
}

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

    const QVector<FileDigest> digests = QtConcurrent::blockingMapped<QVector<FileDigest>>(
        files, HashBelow{root, Job::current(), std::make_shared<std::atomic<qint64>>(0), files.size()});

    for (int i = 0; i < files.size(); ++i) {
        const FileDigest &digest = digests.at(i);
        if (digest.error != 0) {
            list.unreadable << displayName(files.at(i)) + QStringLiteral(": ")
                                   + (digest.error == ECANCELED ? cancelledText() : systemError(digest.error));
        } else {
            list.content += md5sumsLine(digest.md5, files.at(i));
        }
    }
    return list;
}

qint64 installedSizeKiB(const QString &workDir)
{
    InstalledSizeCount count;
    walkTree(workDir, [&](int fd, const QByteArray &relative, unsigned char) {
        if (leftOutOfPackage(relative))
            return Visit::Skip;
        struct stat status;
        if (::fstatat(fd, lastName(relative).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return Visit::Skip;
        count.add(status);
        return Visit::Descend;
    });
    return count.kib();
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

namespace {

// The files a conffiles text lists, leading "/" cut; the lines with a flag
// name files the package no longer ships.
QSet<QByteArray> listedConffiles(const QByteArray &conffiles)
{
    QSet<QByteArray> listed;
    for (QByteArray line : conffiles.split('\n')) {
        if (!line.startsWith('/'))
            continue;
        while (line.startsWith('/'))
            line.remove(0, 1);
        if (!line.isEmpty())
            listed.insert(line);
    }
    return listed;
}

} // namespace

Result readConffiles(const QString &debianDir, QByteArray *conffiles)
{
    const QString path = debianDir + QStringLiteral("/conffiles");
    return QFileInfo::exists(path) ? readRegularFile(path, conffiles) : Result::done();
}

QByteArray checksumsWithoutConffiles(const QByteArray &lines, const QByteArray &conffiles)
{
    const QSet<QByteArray> listed = listedConffiles(conffiles);
    QByteArray kept;
    kept.reserve(lines.size());
    int start = 0;
    while (start < lines.size()) {
        const int newline = lines.indexOf('\n', start);
        const int end = newline < 0 ? lines.size() : newline + 1;
        const int path = lines.indexOf("  ", start) + 2;
        const QByteArray relative = lines.mid(path, (newline < 0 ? end : newline) - path);
        if (path <= 1 || path > end || !(relative.startsWith("etc/") || listed.contains(relative)))
            kept += lines.mid(start, end - start);
        start = end;
    }
    return kept;
}

QList<QByteArray> unlistedConffiles(const QByteArray &conffiles, QList<QByteArray> etcFiles)
{
    const QSet<QByteArray> listed = listedConffiles(conffiles);
    etcFiles.erase(std::remove_if(etcFiles.begin(), etcFiles.end(),
                                  [&listed](const QByteArray &file) { return listed.contains(file); }),
                   etcFiles.end());
    std::sort(etcFiles.begin(), etcFiles.end());
    return etcFiles;
}

Result writeChecksums(const QString &workDir)
{
    if (!QFileInfo(workDir).isDir())
        return Result::failure(QStringLiteral("Каталог %1 не найден").arg(workDir));
    const QString debianDir = workDir + QStringLiteral("/DEBIAN");
    if (!QFileInfo(debianDir).isDir())
        return Result::failure(QStringLiteral("Файл md5sums не найден"));
    QByteArray conffiles;
    const Result listed = readConffiles(debianDir, &conffiles);
    if (listed.failed())
        return listed;
    ChecksumList list = checksumLines(workDir);
    list.content = checksumsWithoutConffiles(list.content, conffiles);
    // From here md5sums is written: a cancel that comes later is refused.
    if (!commitJob())
        return Result::failure(cancelledText());
    const Result written = writeMd5sums(debianDir + QStringLiteral("/md5sums"), list.content);
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

namespace {

// Rewrites the control file at path with the text change gives for its
// text, unless that is the same; nothing but a regular file is read (a FIFO
// would block the read for ever). The text change gives goes to *updated
// when that is given.
Result rewriteControl(const QString &path, const std::function<QByteArray(const QByteArray &)> &change,
                      QByteArray *updated = nullptr)
{
    QByteArray text;
    const Result read = readRegularFile(path, &text);
    if (read.failed())
        return read;
    const QByteArray changed = change(text);
    if (updated)
        *updated = changed;
    return changed == text ? Result::done() : writeFileAtomically(path, changed);
}

} // namespace

Result refreshInstalledSize(const QString &workDir)
{
    return rewriteControl(workDir + QStringLiteral("/DEBIAN/control"), [&](const QByteArray &text) {
        return hasInstalledSizeLine(text) ? withInstalledSize(text, installedSizeKiB(workDir)) : text;
    });
}

Result setInstalledSize(const QString &path, qint64 sizeKiB, QByteArray *control)
{
    return rewriteControl(
        path, [&](const QByteArray &text) { return withInstalledSizeSet(text, sizeKiB); }, control);
}
