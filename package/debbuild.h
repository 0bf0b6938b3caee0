#pragma once

#include "common/buildresult.h"

#include <QList>
#include <QString>
#include <QStringList>

// The package name K of a work directory: its last path piece, trailing
// slashes ignored ("/home/u/work/mytool/" gives mytool).
QString packageName(const QString &workDir);

// Arguments of fakeroot for building the staging copy into outputDir.
QStringList packageArguments(const QString &staging, const QString &outputDir);

// One usable line of an access-rights file.
struct AccessRule
{
    QString path;  // below the staging copy, starting with "/"
    unsigned mode; // permission bits, at most 07777
    QString line;  // as written, for the note when it cannot be applied
};

struct AccessRules
{
    QList<AccessRule> rules;
    QStringList skipped; // one note per unusable line, for the warnings
};

// Reads access-rights lines "path: mode". A line is split at its last ": ",
// so a path may contain ": " itself; the mode is octal digits. Lines without
// the separator, with another mode, or whose path does not start with "/" or
// climbs out with ".." are skipped and noted; blank lines are ignored.
AccessRules parseAccessRights(const QString &text);

// Builds the package of workDir into outputDir: a private staging copy
// (links followed, every entry 0755), the recorded access modes, then
// fakeroot dpkg-deb --build; the staging directory is removed whatever
// happened. The result carries the text of the box to show.
BuildResult buildPackage(const QString &workDir, const QString &outputDir);
