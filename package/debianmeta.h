#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include <utility>

class Job;

// Package metadata computed from a work directory W: the lines of
// DEBIAN/md5sums and the installed size of DEBIAN/control. The walks never
// follow links to directories, so a link loop cannot make them hang.

// Whether dpkg-deb leaves the entry at relative (a path below the package
// root) out of the package: every top-level entry whose name begins with
// "DEBIAN" (the control area, and siblings such as DEBIAN.old), and the
// temporaries of writes still running or cut short.
bool leftOutOfPackage(const QByteArray &relative);

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

// What a checksum refresh produced.
struct ChecksumList
{
    // One "digest  relative/path\n" line per listed file, names unescaped as
    // dpkg reads them.
    QByteArray content;
    // Files whose names hold a line break: md5sums has no way to list them.
    QStringList unlistable;
    // Files that could not be read, each with the reason.
    QStringList unreadable;
};

// The checksum lines for the regular files below workDir (links not
// followed), leaving out what dpkg-deb does not pack (every path that begins
// with workDir + "/DEBIAN") and the temporaries of unfinished writes, in the
// order a depth-first walk of the directory listings meets them.
// Files are hashed in parallel across the cores; the call returns when all
// are done, or early and with an incomplete list when the current job is
// cancelled.
ChecksumList checksumLines(const QString &workDir);

// The installed size in KiB (InstalledSizeCount) of what dpkg-deb packs of
// workDir.
qint64 installedSizeKiB(const QString &workDir);

// True if text has an Installed-Size field, its name in any case, as dpkg
// matches names ("installed-size :" too).
bool hasInstalledSizeLine(const QByteArray &text);

// text with the first line of every Installed-Size field replaced by
// "Installed-Size: " + sizeKiB + "\n"; all other lines stay byte for byte.
QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB);

// Reads debianDir + "/conffiles" into *conffiles; without that file the
// package lists none and *conffiles stays as it is.
Result readConffiles(const QString &debianDir, QByteArray *conffiles);

// md5sums lines without those of the conffiles: the files conffiles lists
// ("/path" lines, as dh_md5sums reads them) and every file under etc/, which
// the package build marks as conffiles. dpkg keeps their sums itself.
QByteArray checksumsWithoutConffiles(const QByteArray &lines, const QByteArray &conffiles);

// The files of etcFiles (paths below the package root) that conffiles does
// not list yet, sorted by their bytes, as dh_installdeb marks them.
QList<QByteArray> unlistedConffiles(const QByteArray &conffiles, QList<QByteArray> etcFiles);

// Rewrites W/DEBIAN/md5sums with the checksum lines, conffiles left out
// (W/DEBIAN/conffiles and the files under etc/). Without the work
// directory it fails saying that the directory is missing, without a DEBIAN
// directory with "Файл md5sums не найден"; when the file cannot be
// written it fails with the reason; once written, files left out of it (line
// breaks in their names, unreadable) still make it a failure naming them.
Result writeChecksums(const QString &workDir);

// control with its Installed-Size lines set to sizeKiB, or, without one,
// with "Installed-Size: " + sizeKiB added at the end of its paragraph.
QByteArray withInstalledSizeSet(const QByteArray &control, qint64 sizeKiB);

// Brings the Installed-Size: lines of W/DEBIAN/control up to date; a control
// file without one, or already right, is not written. A failure says which
// file could not be read or written and why.
Result refreshInstalledSize(const QString &workDir);

// Sets the Installed-Size of the control file at path to sizeKiB, adding the
// field when it is missing, as the package build does on its staged copy;
// the text the file then holds goes to *control.
Result setInstalledSize(const QString &path, qint64 sizeKiB, QByteArray *control);
