#pragma once

#include <QString>

// Where a package's shortcuts live and what a new one starts from.

// "usr/share/applications", where the package's shortcuts live below the
// work directory.
QString applicationsSubdirectory();
// workDir + "/usr/share/applications"
QString applicationsDirectory(const QString &workDir);

// Where a shortcut is saved: folder + the typed name + ".desktop", or else
// folder + the selected entry; the empty text when there is neither.
QString shortcutPath(const QString &folder, const QString &typedName, const QString &selected);

// The Exec value that runs program with no arguments: quoted and escaped
// as desktop entries require when it holds a reserved character.
QString desktopExecValue(const QString &program);

// A desktop entry for the program /usr/bin/K with the icon K.
QString desktopTemplate(const QString &k);
