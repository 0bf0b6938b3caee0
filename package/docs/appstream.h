#pragma once

#include "desktop/shortcuts.h"
#include "package/docs/docsfields.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// AppStream metainfo for a package with a menu entry, so that software
// centres list it: usr/share/metainfo/<id>.metainfo.xml.

// Whether id is a reverse-DNS component id ("org.example.tool"): three or
// more dot-separated parts of ASCII letters, digits, "_" and "-", the
// first a letter.
bool isReverseDnsId(const QString &id);

// The component id: the shortcut's base name when that is reverse-DNS
// already; otherwise the reversed host of homepage ("www." dropped)
// followed by the package name, hyphens made underscores as AppStream
// advises; the empty text when neither gives one (the user is asked).
QString appStreamIdFor(const QString &shortcutBaseName, const QString &homepage, const QString &package);

// The shortcut of workDir the metainfo launches ("<name>.desktop" in
// usr/share/applications): the one named after the package, else the
// first by name; the empty text when there is none.
QString launchedShortcut(const QString &workDir, const QString &package);

// workDir + "/usr/share/metainfo/<id>.metainfo.xml"
QString metainfoPath(const QString &workDir, const QString &id);

// What the metainfo is made from besides the control's fields.
struct MetainfoSource
{
    QString id;
    QString shortcut; // the launched shortcut's file name
    ShortcutNames names;
    QString licence; // the project's licence as an SPDX expression; empty: left out
    QDate date; // of the release of the control's version
};

// The metainfo: the shortcut's names and comments (with their [ru]
// translations; the package name and the synopsis where they are missing),
// the extended description, the launchable shortcut, the metadata licence
// FSFAP, the project licence, the developer from Maintainer, the homepage,
// a content rating and the release of the control's upstream version.
QByteArray metainfoText(const MetainfoSource &source, const DocsFields &fields);
