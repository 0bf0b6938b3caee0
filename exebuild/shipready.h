#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

// What makes an executable fit to ship in a package: Debian's hardening
// flags at build time, stripping afterwards, and the name of the package it
// needs at run time.

// The compiler and linker flags Debian builds with, hardening all on.
struct BuildFlags
{
    QStringList cflags; // optimisation and debug options left out
    QStringList cppflags;
    QStringList ldflags;
};

// Reads the flags from dpkg-buildflags with DEB_BUILD_MAINT_OPTIONS=hardening=+all.
Result readBuildFlags(BuildFlags *flags);

// CFLAGS without the optimisation and debug options, which the build sets itself.
QStringList withoutOptimisation(const QStringList &cflags);

// strip arguments as Debian strips an executable: symbols and the comment
// and note sections go.
QStringList stripArguments(const QString &executable);

// The path that ldd reports for the first library whose name starts with
// prefix, or the empty text.
QString linkedLibraryPath(const QString &lddOutput, const QString &prefix);

// The package name from the first owner line of `dpkg -S` output, without
// its architecture ("libpython3.11:amd64: /usr/lib/..." gives
// libpython3.11); the lines on a diverted file's diversion name no owner.
QString packageFromSearch(const QString &dpkgSearchOutput);

// The package holding the libpython that executable links, or the empty
// text when it cannot be found.
QString runtimePackage(const QString &executable);
