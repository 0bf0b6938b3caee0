#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The C sources the build writes itself: the program's entry point with the
// table of its modules, and the bytecode of the modules that go in as
// bytecode.

// How a module of the program goes into the executable.
enum class Linkage { Compiled, Bytecode, Extension, Namespace };

struct LinkedModule
{
    QString name; // dotted name, "__main__" for the script
    QString path; // below the script's directory, and so below the data directory
    bool package = false;
    Linkage linkage = Linkage::Compiled;
};

// A C identifier for a dotted module name after prefix, one for each name:
// letters and digits stay, every other byte of the UTF-8 name becomes "_"
// and two hex digits ("a.util" gives prefix + "a_2eutil").
QString cName(const QString &prefix, const QString &dottedName);

// The names a compiled module's init function and its "is main" flag get
// when it is compiled, so that a/util.py and b/util.py do not clash.
QString initFunctionName(const QString &dottedName);
QString mainFlagName(const QString &dottedName);

// bytes as a C string literal: printable ASCII as it is, the rest in octal.
QByteArray cStringLiteral(const QByteArray &bytes);

// A C file that holds the module's bytecode for the table of the program.
QByteArray bytecodeSource(const QString &dottedName, const QByteArray &code);

// The program's entry point: registers the compiled modules before the
// interpreter starts, starts it isolated (as python3 -I: no current or
// executable directory on sys.path, no user site, no PYTHON* variables),
// puts first on sys.meta_path a finder that serves every module of the
// table from the executable (extension modules from the data directory),
// with __file__ below the data directory, and runs "__main__". The note,
// an ELF note "Bexlor" in section .note.bexlor.python, carries what the
// package build needs to know (the Depends and Recommends lines).
QByteArray programSource(const QList<LinkedModule> &modules, const QByteArray &note);
