#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// DEBIAN/md5sums of a work directory W, as dh_md5sums writes it. The walk
// never follows links to directories, so a link loop cannot make it hang.

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
// followed), leaving out what dpkg-deb does not pack (leftOutOfPackage), in
// the order a depth-first walk of the directory listings meets them.
// Files are hashed in parallel across the cores; the call returns when all
// are done, or early and with an incomplete list when the current job is
// cancelled.
ChecksumList checksumLines(const QString &workDir);

// Rewrites W/DEBIAN/md5sums with the checksum lines, conffiles left out
// (W/DEBIAN/conffiles and the files under etc/). Without the work
// directory it fails saying that the directory is missing, without a DEBIAN
// directory with "Файл md5sums не найден"; when the file cannot be
// written it fails with the reason; once written, files left out of it (line
// breaks in their names, unreadable) still make it a failure naming them.
Result writeChecksums(const QString &workDir);
