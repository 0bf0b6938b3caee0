#pragma once

#include "common/result.h"
#include "exebuild/buildtarget.h"
#include "exebuild/importscan.h"
#include "exebuild/objectcache.h"
#include "exebuild/programsource.h"
#include "exebuild/shipready.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One module's way into the executable: translated by cython3 and compiled
// by gcc into an object, or, where the translator cannot be trusted with
// it, its bytecode compiled into one. Many run at once, one a core.

// How a failure of the build's tools begins.
extern const QString compileError;

// How the program is optimised: for size, the default, or for speed.
enum class Optimisation { Size, Speed };

// The optimisation that "size" or "speed" names, as the command line and
// the profiles write it; false for any other name.
bool optimisationNamed(const QString &name, Optimisation *optimisation);
QString optimisationName(Optimisation optimisation);

// What every module's build shares.
struct ModuleSetup
{
    QString scriptDirectory; // where the modules' sources are, trailing "/" kept
    QString workDirectory; // the build's private directory
    QString compiler; // the target's gcc
    QStringList compileFlags; // gcc's flags before the file: optimisation, Debian's, the runtime's headers
    QList<QByteArray> versions; // the runtime's, cython3's and gcc's: part of every cache key
    // TMPDIR in the private directory: what the tools leave when they are
    // killed goes with it.
    QStringList environment;
    ObjectCache cache{QString()};
};

// One module to build. The script is translated from its working copy in
// its own directory, where its C file stays; every other module from a
// copy of the bytes read, in the private directory.
struct ModuleTask
{
    ProgramModule module;
    QString bytecodeReason; // not empty: straight to bytecode
    QString workingCopy; // the script's, for the main module
    QString cFile; // the script's C file, for the main module
};

struct BuiltModule
{
    Result result; // a failure fails the build; warnings: the tools' output
    Linkage linkage = Linkage::Compiled;
    QString object;
    QString bytecodeReason; // why it went in as bytecode
};

// gcc's flags before a module's C file: the optimisation, Debian's
// hardening flags, the runtime's headers.
QStringList compileFlags(const RuntimeFlags &runtime, const BuildFlags &flags, Optimisation optimisation);

// gcc's arguments that link the objects into output against the runtime.
QStringList linkArguments(const BuildFlags &flags, Optimisation optimisation, const QStringList &objects,
                          const QString &output, const RuntimeFlags &runtime);

// The directives cython3 translates every module with, so that compiled
// functions take their arguments and answer questions about themselves as
// interpreted ones do, whichever Cython translates them; part of the cache key.
QStringList translationDirectives();

// cython3's arguments: Python 3 semantics, the directives, the module's
// dotted name, the C file (empty: beside the input) and the input.
QStringList translationArguments(const QString &moduleName, const QString &input, const QString &output);

// Works around what Cython 0.29 gets wrong in its C: subscripting a class
// (list[int], typing.IO[bytes], a Generic subclass) goes to Python's own
// PyObject_GetItem, which knows __class_getitem__.
QByteArray patchTranslation(const QByteArray &c);

// The -D options that rename the module's init function and "is main" flag
// that cython3 named in c to names of the module's own.
QStringList renamingDefines(const QByteArray &c, const QString &moduleName);

// The translator's reason for refusing a module: its last "file:line:col:
// message" line.
QString refusalReason(const QString &translatorOutput);

BuiltModule buildModule(const ModuleSetup &setup, const ModuleTask &task);

// Compiles C source the build wrote (a bytecode table, the entry point) into
// an object named after stem, through the cache.
BuiltModule compileSource(const ModuleSetup &setup, const QString &stem, const QByteArray &source);
