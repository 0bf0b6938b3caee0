#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The program's data: the files beside its modules, which the executable
// reads through __file__ from the data directory, where Debian puts a
// program's data.

// The data directory of an executable (its real path): the executable's
// directory + "/../share/" + its name; for one in usr/games,
// usr/share/games/ + its name. The executable computes the same at run time.
QString dataDirectoryFor(const QString &executable);

// Whether the build places the data for an executable written to
// outputDir: when that directory (its real path) ends in usr/bin, usr/sbin,
// usr/games or .local/bin, a work directory's or the user's own.
bool placesData(const QString &outputDir);

// The data files below scriptDir, as paths below it, in listing order: the
// regular files that are not Python source, C files or objects, not hidden
// and not in __pycache__. Directories that hold a virtual environment
// (pyvenv.cfg) or a work directory (DEBIAN), and the entries of skipped
// (the executable, its directory, the data directory), are left out.
QList<QByteArray> dataFiles(const QString &scriptDir, const QStringList &skipped);

// Copies each of *files from scriptDir into the data directory of executable
// (its real path) under the same relative path and with its mode, each copy
// written atomically; never writes through a link on the way from the
// executable's parent directory (a linked usr/share would lead elsewhere).
// A name that is not UTF-8 is not copied, with a warning; *files keeps the
// names copied.
Result copyDataFiles(const QString &scriptDir, QList<QByteArray> *files, const QString &executable);
