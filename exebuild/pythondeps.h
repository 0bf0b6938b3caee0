#pragma once

#include "exebuild/importscan.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// The Debian packages a program's imports come from: the runtime package,
// which brings the standard library's core, and the packages that own the
// other files the runtime loads for it.

// The owners of each path in `dpkg -S` output ("pkg[:arch][, pkg…]: path"),
// diversion lines left out.
QMap<QString, QStringList> fileOwners(const QString &dpkgSearchOutput);

// The package names a relationship field names, each alternative included
// ("a (>= 1), b | c:any" gives a, b, c).
QStringList relationNames(const QString &field);

struct PythonDependencies
{
    QString runtimePackage; // empty when it could not be found
    QStringList libraries; // dpkg-shlibdeps's entries for the executable, versions included
    QStringList depends; // packages of imports outside try … except ImportError
    QStringList recommends; // packages only imported under such a guard
    QStringList warnings; // files no package owns, lookups that failed
};

// Sorts the imports' packages: those the runtime package brings (covered)
// are left out; a package any unguarded import needs is a Depends, one that
// only guarded imports need a Recommends. A file no package owns is a
// warning that names the module and the file.
PythonDependencies sortDependencies(const QList<OutsideImport> &imports, const QMap<QString, QStringList> &owners,
                                    const QSet<QString> &covered);

// The lines to paste into DEBIAN/control: "Depends: " with the shared
// libraries first (the runtime package alone when they are not known), and
// "Recommends: " when there is one.
QStringList controlLines(const PythonDependencies &dependencies);

// Finds the packages with dpkg -S and the runtime package's dependencies
// with dpkg-query. library is the runtime library the link uses.
PythonDependencies findDependencies(const QString &library, const QList<OutsideImport> &imports);

// The note an executable carries for the package build: its control lines.
QByteArray dependencyNote(const PythonDependencies &dependencies);

// The Depends packages named by the notes of the ELF files; files without
// one (or that are no ELF file) name none.
QStringList notedDepends(const QStringList &elfFiles);
