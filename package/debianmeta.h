#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Package metadata computed from a work directory W: the lines of
// DEBIAN/md5sums and the installed size of DEBIAN/control. The walks never
// follow links to directories, so a link loop cannot make them hang.

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

// Bytes of the regular files and links below workDir, the DEBIAN entry left
// out, for the progress of a copy: a link counts by its own size (the
// length of its target text), wherever it points; directories and special
// files count nothing; unreadable directories are skipped.
qint64 payloadBytes(const QString &workDir);

// The installed size in KiB as dpkg-gencontrol counts it, on what dpkg-deb
// packs of workDir (what checksumLines leaves out is left out here too): the
// sum of ceil(size / 1024) over the regular files and links, a hard-linked
// file once, plus 1 for every other object, workDir itself included.
qint64 installedSizeKiB(const QString &workDir);

// True if text has an Installed-Size field, its name in any case, as dpkg
// matches names ("installed-size :" too).
bool hasInstalledSizeLine(const QByteArray &text);

// text with the first line of every Installed-Size field replaced by
// "Installed-Size: " + sizeKiB + "\n"; all other lines stay byte for byte.
QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB);

// Rewrites W/DEBIAN/md5sums with the checksum lines. Without the work
// directory it fails saying that the directory is missing, without a DEBIAN
// directory with "Файл md5sums не найден"; when the file cannot be
// written it fails with the reason; once written, files left out of it (line
// breaks in their names, unreadable) still make it a failure naming them.
Result writeChecksums(const QString &workDir);

// control with its Installed-Size lines set to sizeKiB, or, without one,
// with "Installed-Size: " + sizeKiB added at the end of its paragraph.
QByteArray withInstalledSizeSet(const QByteArray &control, qint64 sizeKiB);

// Brings the Installed-Size: lines of W/DEBIAN/control up to date; a control
// file without one (unless addWhenMissing, as the package build asks), or
// already right, is not written. A failure says which file could not be read
// or written and why.
Result refreshInstalledSize(const QString &workDir, bool addWhenMissing = false);
