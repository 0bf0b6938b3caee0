#include "package/control/checksums.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "package/control/conffiles.h"
#include "package/control/packedfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QVector>
#include <QtConcurrent>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>

namespace {

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
