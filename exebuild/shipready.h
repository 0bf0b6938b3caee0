#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

// What makes an executable fit to ship in a package: Debian's hardening
// flags at build time, stripping afterwards, and the runtime library it
// links.

// The compiler and linker flags Debian builds with, hardening all on.
struct BuildFlags
{
    QStringList cflags; // optimisation and debug options left out
    QStringList cppflags;
    QStringList ldflags;
};

// Reads the flags from dpkg-buildflags with DEB_BUILD_MAINT_OPTIONS=hardening=+all,
// and environment on top (DEB_HOST_ARCH: another architecture's flags).
Result readBuildFlags(BuildFlags *flags, const QStringList &environment = QStringList());

// CFLAGS without the optimisation and debug options, which the build sets itself.
QStringList withoutOptimisation(const QStringList &cflags);

// strip arguments as Debian strips an executable: symbols, the comment
// section and the section named .note go; notes in sections of their own
// (.note.*) stay.
QStringList stripArguments(const QString &executable);

// The runtime library the link of an executable against runtime uses, as
// the compiler finds it (-print-file-name), or the empty text.
QString runtimeLibrary(const QString &compiler, const QString &runtime);

// The entries dpkg-shlibdeps gives for the ELF files ("libc6 (>= 2.34)",
// "libpython3.11 (>= 3.11.0)"): what the executable build suggests and what
// the package build checks Depends against, for the Debian architecture
// given, the host's by default. A failure of the tool is a warning and no
// entries, never a refusal.
Result sharedLibraryDepends(const QStringList &files, QStringList *entries, const QString &architecture = QString());
