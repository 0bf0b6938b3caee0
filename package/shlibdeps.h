#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

// The shared-library dependencies of a staged package, found with
// dpkg-shlibdeps, against what its control file declares in Depends.

// The ELF files below root (regular files beginning with the ELF magic),
// the DEBIAN directory left out, in listing order.
QStringList elfFiles(const QString &root);

// The entries of "shlibs:Depends=..." in dpkg-shlibdeps -O output.
QStringList shlibsEntries(const QString &output);

// The package names a Depends value names, every alternative included.
QStringList dependsPackages(const QString &depends);

// The entries whose package Depends does not name.
QStringList missingEntries(const QStringList &entries, const QString &depends);

// The Depends line to paste: the declared value followed by what is missing.
QString dependsLine(const QString &depends, const QStringList &missing);

// Runs dpkg-shlibdeps on the ELF files of the staged tree, in a private
// directory of its own, adds the Python packages that executables built
// by this program name in their note, and warns of what Depends lacks with
// a ready line;
// a dpkg-shlibdeps failure becomes a warning too, never a refusal.
Result checkSharedLibraries(const QString &staging);
