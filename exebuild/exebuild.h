#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

struct BuildFlags;

// The fields of the executable build as read from the main window.
struct ExecutableBuild
{
    QString runtime; // R: the runtime library, e.g. python3.11
    QString projectDir; // P: only tested for emptiness
    QString script; // S: the script to translate
    QString cFile; // C: the C file the translator writes
    QString binaryDir; // B: where the executable goes
    QString binaryName; // E: the executable's file name
};

// cython3 arguments for the working copy W (its bare name when cython3 runs
// in its directory): Python 3 semantics unless the script sets its own
// language level, with a program entry point.
QStringList translationArguments(const QString &workingCopy);

// gcc arguments: size optimisation, Debian's hardening flags, the runtime's
// headers and library, output B + "/" + E.
QStringList compilationArguments(const ExecutableBuild &build, const BuildFlags &flags);

// Checks the fields, the script (a regular file) and the output directory (a
// writable directory), makes the working copy when the script name holds "-"
// (replacing a leftover of a killed build, which holds exactly the script),
// translates, compiles with hardening and strips, and removes the working copy again whatever
// happened. The result carries the text of the box to show.
Result buildExecutable(const ExecutableBuild &build);
