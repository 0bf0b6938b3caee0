#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// The Installed-Size field of DEBIAN/control, as dpkg-gencontrol counts it.
// The walk never follows links to directories, so a link loop cannot make
// it hang.

// The installed size in KiB (InstalledSizeCount) of what dpkg-deb packs of
// workDir.
qint64 installedSizeKiB(const QString &workDir);

// True if text has an Installed-Size field, its name in any case, as dpkg
// matches names ("installed-size :" too).
bool hasInstalledSizeLine(const QByteArray &text);

// text with the first line of every Installed-Size field replaced by
// "Installed-Size: " + sizeKiB + "\n"; all other lines stay byte for byte.
QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB);

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
