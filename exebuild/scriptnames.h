#pragma once

#include <QString>
#include <QStringList>

// The names derived from a script path S.
struct ScriptNames
{
    QString name; // N: the text after the last "/"
    QString directory; // D: S without N, trailing "/" kept
    QString underscoredName; // N': N with every "-" made "_"
    QString workingCopy; // W = D + N', what the translator reads
    QString cFile; // C = D + N' less its last two characters + "c"
};

ScriptNames scriptNames(const QString &scriptPath);

// The executable name offered for a script: its last path piece without its
// last three characters (empty for three characters or fewer).
QString binaryNameFor(const QString &scriptPath);

// The multiarch triplet of the host ("aarch64-linux-gnu"), as
// dpkg-architecture names it; the empty text when it cannot say.
QString multiarchTriplet();

// The name of a runtime's configuration program for the triplet:
// "x86_64-linux-gnu-python3.11-config".
QString runtimeConfigName(const QString &triplet, const QString &runtime);

// The runtimes ("python3.11") whose configuration program for the triplet
// the system has (libpython3.X-dev of that architecture), the one the
// system's python3 is first and the others newest first. No triplet is
// assumed: an architecture is what dpkg-architecture says it is.
QStringList installedRuntimes(const QString &triplet);
// Those of the host.
QStringList installedRuntimes();
