#pragma once

#include <QByteArray>
#include <QSet>

#include <sys/stat.h>

#include <utility>

class Job;

// What dpkg-deb packs of a work directory, and what is measured of each
// file it packs: its digest and its share of the installed size.

// Whether dpkg-deb leaves the entry at relative (a path below the package
// root) out of the package: every top-level entry whose name begins with
// "DEBIAN" (the control area, and siblings such as DEBIAN.old), and the
// temporaries of writes still running or cut short.
bool leftOutOfPackage(const QByteArray &relative);

// Whether relative is a top-level entry that dpkg-deb leaves out only for
// the "DEBIAN" its name begins with (DEBIAN.old, DEBIAN~): data the user
// most likely meant to ship, or a copy left behind.
bool leftOutNearControlArea(const QByteArray &relative);

// What reading a file to its end found.
struct FileDigest
{
    QByteArray md5; // hexadecimal, as md5sums lists it; empty after a failure
    bool elf = false; // begins with the ELF magic
    int error = 0; // errno of the failed open, read or write; ECANCELED when the job was cancelled
};

// Reads fd from its current offset to its end, hashing the bytes, looking
// at the first four, and, when copyTo is given, writing every chunk there
// too, so that a copy and its checksum come from one read. Stops early when
// job (if any) is cancelled.
FileDigest readDigest(int fd, const Job *job, int copyTo = -1);

// The installed size as dpkg-gencontrol counts it, entry by entry: each
// regular file and link by its size in KiB rounded up, a hard-linked inode
// once, every other object (the root directory included) as 1.
class InstalledSizeCount
{
public:
    void add(const struct stat &status);
    qint64 kib() const { return m_kib; }

private:
    qint64 m_kib = 1; // the root directory
    QSet<std::pair<dev_t, ino_t>> m_linked;
};
