#pragma once

#include "common/processrunner.h"
#include "common/result.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The Debian architecture a program is built for, and the names its tools
// and runtimes go by there. No architecture is assumed: dpkg says what
// this machine is, and dpkg-architecture what each architecture's names are.
struct BuildTarget
{
    QString architecture; // "arm64", as packages name it
    QString triplet; // its multiarch directory: "aarch64-linux-gnu"
    QString gnuType; // the prefix of its cross tools: "aarch64-linux-gnu"
    bool cross = false; // another architecture than this machine's

    // The compiler and strip for the target: the system's own on this
    // machine's architecture, Debian's cross tools on another.
    QString compiler() const;
    QString strip() const;
    // "DEB_HOST_ARCH=arm64" for dpkg-buildflags and dpkg-shlibdeps, which
    // answer for this machine without it.
    QStringList dpkgEnvironment() const;
};

// This machine's architecture as dpkg names it ("amd64"); empty when dpkg
// cannot say.
QString hostArchitecture();

// What dpkg-architecture -f -a says of the architecture: its variables
// ("DEB_HOST_MULTIARCH" → "aarch64-linux-gnu"). -f: the user's DEB_HOST_*
// variables do not answer for it. The run tells whether dpkg knows it.
ProcessResult architectureValues(const QString &architecture, QHash<QString, QString> *values);

// The target that architecture names; the empty name is this machine's.
// An architecture dpkg does not know is refused; whether its tools are
// installed is the build's question.
Result buildTarget(const QString &architecture, BuildTarget *target);

// The architectures this machine can build for: its own first, then the
// foreign ones dpkg was told of (dpkg --add-architecture).
QStringList targetArchitectures();

// The name of a runtime's configuration program for the triplet:
// "x86_64-linux-gnu-python3.11-config".
QString runtimeConfigName(const QString &triplet, const QString &runtime);

// The runtimes ("python3.11") whose configuration program for the triplet
// the system has (libpython3.X-dev of that architecture), the one the
// system's python3 is first and the others newest first.
QStringList installedRuntimes(const QString &triplet);
// Those of this machine's architecture.
QStringList installedRuntimes();

// What the compiler and the linker need to build against a runtime, as its
// configuration program for the target says.
struct RuntimeFlags
{
    QStringList compile; // -I
    QStringList link; // -L and -l, the runtime library's own included
};

// Asks the runtime's configuration program (--includes; --ldflags --embed).
// Only the directory and library options of its answer are taken: what it
// says cannot become another compiler option.
Result runtimeFlags(const BuildTarget &target, const QString &runtime, RuntimeFlags *flags);
