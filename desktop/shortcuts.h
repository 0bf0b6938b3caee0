#pragma once

#include <QByteArray>
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

// The names and comments of a shortcut's [Desktop Entry] group, with their
// Russian translations ([ru]), unescaped; empty where a key is missing.
struct ShortcutNames
{
    QString name;
    QString nameRu;
    QString comment;
    QString commentRu;
};
ShortcutNames readShortcutNames(const QByteArray &desktopEntry);
