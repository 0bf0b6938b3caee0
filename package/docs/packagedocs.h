#pragma once

#include "common/result.h"
#include "package/docs/docsfields.h"
#include "package/docs/manpage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The documents every Debian package carries, made from its control file:
// usr/share/doc/<Package>/copyright and the changelog, the lintian
// override for the one warning that only concerns uploads to Debian, a
// manual page for each program and, with a menu entry, AppStream metainfo.

// The override of initial-upload-closes-no-bugs: packages made here are
// not uploaded to Debian, so there is no ITP bug to close.
QByteArray lintianOverrideText(const DocsFields &fields);

// What the documents step finds in a work directory before it asks
// anything.
struct DocsPlan
{
    DocsFields fields;
    bool copyrightExists = false;
    QList<ProgramPage> pages;
    QString shortcut; // the shortcut the metainfo launches; empty: no metainfo
    QString appStreamId; // empty: the user names it
    // The documents that are there already and that the step would replace:
    // copyright, the override, manual pages, the metainfo.
    QStringList existing;
};

// Reads the control file and looks at the documents there are.
Result planPackageDocs(const QString &workDir, DocsPlan *plan);

// The user's answers: whether the existing documents are replaced (else
// they stay as they are), the copyright's licence (one of licenceChoices),
// the metainfo's component id, which wins over the one the plan made.
struct DocsAnswers
{
    bool replace = false;
    QString licence;
    QString appStreamId;
};

// Whether the step needs the licence (a copyright file is written) and
// the component id (metainfo is written and nothing gives its id).
bool needsLicence(const DocsPlan &plan, bool replace);
bool needsAppStreamId(const DocsPlan &plan);

// Refuses answers the step needs and lacks, or cannot use: a licence not
// on the list, an id that is not reverse-DNS. Names the command line's
// option when option is set.
Result checkDocsAnswers(const DocsPlan &plan, const DocsAnswers &answers, bool options);

// Writes the documents below workDir: the changelog updated (a new entry
// for a newer version, see updateChangelog) and checked with
// dpkg-parsechangelog; the other documents where they are missing, or
// replaced when answers say so. Nothing is written when any of them cannot
// be made. The message lists what was written and what to fill in. The
// documents are dated sourceDateTime.
Result writePackageDocs(const QString &workDir, const DocsPlan &plan, const DocsAnswers &answers);
