#pragma once

#include "common/result.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the program imports, as the chosen runtime's own interpreter finds
// it: the modules below the script's directory that become part of the
// executable, and the imports that resolve elsewhere.

// One module of the program.
struct ProgramModule
{
    enum class Kind { Source, Extension, Namespace };
    QString name; // dotted name; "__main__" for the script
    QString path; // below the script's directory
    Kind kind = Kind::Source;
    bool package = false;
    // Why the translator cannot be trusted with it (empty: it can).
    QStringList reasons;
    // Its bytecode, compiled by the runtime, in the scan's directory.
    QString bytecodeFile;
    // Carried only because its package is part of the program: no import
    // the program is sure to run reaches it.
    bool carried = false;
};

// An import that resolves outside the script's directory, to the file the
// runtime loads; guarded when every import of it sits in
// try … except ImportError.
struct OutsideImport
{
    QString name;
    QString file;
    bool guarded = false;
};

// An import that resolves nowhere, with the module file and line that ask
// for it (none for a module added by hand); the same for an import of a
// module left out by hand, and for a carried module that the runtime cannot
// compile, with the reason.
struct MissingImport
{
    QString name;
    QString file;
    int line = 0;
    bool guarded = false;
    bool carried = false; // the import is in a carried module
    QString reason;
};

struct ProgramScan
{
    QString runtimeVersion; // the runtime's sys.version
    QList<ProgramModule> modules; // the script first
    QList<OutsideImport> outside;
    QList<MissingImport> missing;
    QList<MissingImport> excluded; // imports of modules left out by hand
    QList<MissingImport> leftOut; // carried modules the runtime cannot compile
    // Where the program asks what compiled code answers otherwise ("file:
    // sys._getframe (строка N)"): its call stack, which compiled code does not
    // have, or whether a function or generator is Python's own; empty when
    // it does not.
    QString whole;
};

// Reads the scanner's JSON output into *scan. A module the runtime cannot
// compile fails, naming its file, the line and the reason.
Result parseScan(const QByteArray &json, ProgramScan *scan);

// Runs the scanner with the runtime's interpreter in isolated mode on the
// script: it reads the modules (never runs them), follows their imports,
// and those of the modules include names, takes every module of each package
// of the program, leaves out the modules exclude names and what lies below
// them, and writes each module's bytecode and its answer into directory.
Result scanProgram(const QString &interpreter, const QString &script, const QString &directory,
                   const QStringList &include, const QStringList &exclude, ProgramScan *scan);
