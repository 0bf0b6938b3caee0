#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The access-rights file of a package name K: home + "/.bexlor/builder/" + K.
QString accessRightsPath(const QString &packageName);

// A generated access-rights list.
struct AccessList
{
    QByteArray text;
    // Files whose names hold a line break, shown with it made visible: a
    // line cannot carry them, so they are left out.
    QStringList leftOut;
};

// The access-rights lines for the regular files below workDir, in listing
// order: the path below workDir (starting with "/"), ": ", the permission
// bits in octal, "\n". The bits are three digits, or four when set-user-ID,
// set-group-ID or sticky is set. Names are kept as the bytes they are.
// Links get no line and are never followed, into directories neither.
// Directories get a line only when their mode carries one of those three
// bits: the others get 0755 at build time.
AccessList accessRightsText(const QString &workDir);

// Generates the list of an existing work directory into *list; a work
// directory that is no directory fails with "Каталог ... не найден".
Result accessRightsListing(const QString &workDir, AccessList *list);

// Saves list as workDir's access-rights file, the data directory made first
// when it is missing; a failure says which path and why.
Result saveAccessList(const QString &workDir, const AccessList &list);

// Deletes the access-rights file of workDir's package; refused when there is
// none (or no package name, which would name the data directory itself).
Result removeAccessList(const QString &workDir);

// The message for names that the list had to leave out, or the empty text.
QString leftOutNote(const AccessList &list);

// One usable line of an access-rights file.
struct AccessRule
{
    QByteArray path; // below the staging copy, starting with "/", as bytes
    unsigned mode; // permission bits, at most 07777
    QString line; // as shown, for the note when it cannot be applied
};

struct AccessRules
{
    QList<AccessRule> rules;
    QStringList skipped; // one note per unusable line, for the warnings
};

// Reads access-rights lines "path: mode" as bytes, so that any file name
// applies, UTF-8 or not. A line is split at its last ": ", so a path may
// contain ": " itself; the mode is octal digits. Lines without the
// separator, with another mode, whose path holds a NUL byte, does not start
// with "/" or climbs out with "..", are skipped and noted; the lines after
// them still apply. Blank lines are ignored.
AccessRules parseAccessRights(const QByteArray &text);

// The note listed in the build's warnings for a line that was not applied.
QString skippedNote(const QString &line, const QString &reason);

// Reads the access-rights file at path; a missing file gives no rules. A
// failure says why an existing file could not be read.
Result readAccessRules(const QString &path, AccessRules *rules);
