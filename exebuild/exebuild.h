#pragma once

#include "common/result.h"
#include "exebuild/modulebuild.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The fields of the executable build as read from the main window.
struct ExecutableBuild
{
    QString runtime; // R: the runtime library, e.g. python3.11
    QString projectDir; // P: only tested for emptiness
    QString script; // S: the script to translate; its C file is the one its name predicts
    QString binaryDir; // B: where the executable goes
    QString binaryName; // E: the executable's file name
    QString architecture{}; // the Debian architecture it runs on ("arm64"); empty: this machine's
    bool bytecode = false; // the whole program as the runtime's bytecode
    Optimisation optimisation = Optimisation::Size;
    QString include{}; // modules to add by name, separated by commas or blanks
    QString exclude{}; // modules to leave out, with what lies below them
    // Built a second time from a copy in another directory, under other
    // conditions and without the object cache, and compared.
    bool checkReproducible = false;
    // That second build: no object cache, and it leaves the job's commit
    // to the user's build.
    bool checkBuild = false;
};

// The module names of a list separated by commas or blanks ("app.plugins,
// extra"); a word that is no dotted name, as an import writes it, is refused.
Result moduleNames(const QString &text, QStringList *names);

// Refuses a runtime that is not one of those installed for the target, before
// any tool runs (a mistyped name would end in the compiler's "Python.h: No
// such file"), and, for another architecture, one whose interpreter this
// machine lacks: that interpreter finds the modules and compiles bytecode.
Result checkRuntime(const QString &runtime, const QStringList &installed, const BuildTarget &target);

// What a finished build tells the user, in the order the user acts on it.
struct BuildReport
{
    QString executable;
    QStringList controlLines; // Depends:, Recommends:
    QString dataDirectory;
    bool dataPlaced = false; // the data files were copied there
    QString dataRefusal; // why they were not, although the output directory asks for it
    QList<QByteArray> dataFiles; // below the script's directory
    QStringList missing; // "name: file, строка N", guarded ones marked
    QStringList excluded; // modules left out by hand that the program imports, as missing
    QStringList leftOut; // carried modules the runtime cannot compile, with the reason
    QStringList carried; // modules taken only because their package is part of the program
    QStringList carriedWith; // the packages they belong to
    QStringList extensions; // extension modules, loaded from the data directory
    QString wholeBytecode; // why the whole program went in as bytecode
    QStringList bytecode; // "module: reason" for the modules that did
    QStringList notes; // what else the user should know
    QStringList toolWarnings; // the tools' own output
};

// The completion message: "Команда сборки завершена.", the executable, the
// lines for DEBIAN/control, the data, the unresolved imports, the modules
// left out or carried with their packages and the rest; the tools' warnings
// last. The copied data files and the carried modules are in the details.
Result reportBuild(const BuildReport &report);

// Checks the fields, the runtime, the script (a regular file) and the output
// directory (a writable directory); makes the working copy when the script
// name holds "-" (replacing a leftover of a killed build, which holds
// exactly the script); finds the program's modules with the runtime's
// interpreter, builds them on every core (translation next to the script
// for the script itself, in a private directory for the others), links,
// strips, places the data and writes the executable atomically, and removes
// the working copy again whatever happened. A cancel leaves no C file,
// object or executable of this build.
Result buildExecutable(const ExecutableBuild &build);
