#pragma once

#include "common/result.h"
#include "package/control/paragraph.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The rules for the fields of DEBIAN/control, and the check of the control
// area that the package build makes before it stages anything.

// What the check found: errors refuse the build, warnings go with it.
struct ControlVerdict
{
    QStringList errors;
    QStringList warnings;
};

// Checks a control file as dpkg-deb would check the one the build hands it
// (Installed-Size set): the paragraph's form, the fields Package, Version
// and Architecture, the values of the fields dpkg reads (relationships,
// Essential, Protected, Multi-Arch, Priority, Conffiles) and the fields only
// dpkg may write; warns about what lintian would (Maintainer, Description,
// the synopsis, the extended description).
ControlVerdict checkControlText(const QByteArray &text);

// True for a package name dpkg-deb accepts once lowercased: ASCII letters,
// digits and "+", "-", ".", starting with a letter or digit.
bool isValidPackageName(const QString &name);

// Checks workDir + "/DEBIAN/control" and DEBIAN/conffiles (a missing final
// line break is no problem: the build adds it). A refusal lists every
// problem at once; what lintian would say comes back as warnings. The
// control file's text goes to *controlText when that is given.
Result checkControlFiles(const QString &workDir, QByteArray *controlText = nullptr);
