#include "package/control/packedfiles.h"

#include "common/filesystem.h"
#include "common/job.h"

#include <QCryptographicHash>

#include <unistd.h>

#include <cerrno>
#include <vector>

bool leftOutOfPackage(const QByteArray &relative)
{
    return (relative.startsWith("DEBIAN") && !relative.contains('/')) || isWriterTemporary(lastName(relative));
}

bool leftOutNearControlArea(const QByteArray &relative)
{
    return relative.startsWith("DEBIAN") && relative != "DEBIAN" && !relative.contains('/')
           && !isWriterTemporary(relative);
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
