#pragma once

#include "common/result.h"

#include <QList>
#include <QString>
#include <QStringList>

// The access-rights file of a package name K: home + "/.bexlor/builder/" + K.
QString accessRightsPath(const QString &packageName);

// The access-rights lines for the regular files below workDir, links
// followed, in listing order: the path below workDir (starting with "/"),
// ": ", the three octal digits of the permission bits, "\n". Directories get
// no line, and names holding a newline are left out, since a line could not
// carry them.
QString accessRightsText(const QString &workDir);

// The generated list of an existing work directory as the success text; a
// work directory that is no directory fails with "Каталог ... не найден".
Result accessRightsListing(const QString &workDir);

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

// The note listed in the build's warnings for a line that was not applied.
QString skippedNote(const QString &line, const QString &reason);

// Reads the access-rights file at path; a missing file gives no rules. A
// failure says why an existing file could not be read.
Result readAccessRules(const QString &path, AccessRules *rules);
