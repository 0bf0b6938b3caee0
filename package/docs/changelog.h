#pragma once

#include "common/result.h"
#include "package/docs/docsfields.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The package's changelog (changelog.Debian.gz, or changelog.gz for a native
// package): its history kept, a new entry for each new version of the
// control file.

// The date as a changelog trailer writes it (RFC 2822, English names), as
// date -R gives it.
QString rfc2822Date(const QDateTime &time);

// One entry for the control's version, distribution unstable, urgency
// medium, with the one change line, signed by fields.signer at time.
QByteArray changelogEntry(const DocsFields &fields, const QString &change, const QDateTime &time);

// The version of the top entry of a changelog; a failure when its first
// line is no entry's heading.
Result changelogTopVersion(const QByteArray &changelog, QString *version);

// What the changelog becomes for the control's version.
struct ChangelogUpdate
{
    bool changed = false;
    QByteArray text;
};

// existing is the changelog in the package (empty: none yet). None: a
// first entry, "Первый выпуск."; a top version older than the control's: a
// new entry with the placeholder line in front, every older entry kept byte
// for byte; the same version: nothing changes. A control version older than
// the top entry's is refused with both versions named.
Result updateChangelog(const QByteArray &existing, const DocsFields &fields, const QDateTime &time,
                       ChangelogUpdate *update);

// Checks text with dpkg-parsechangelog --all: a changelog it warns about, in
// any entry, is refused with its words.
Result checkChangelog(const QByteArray &text);

// Where workDir's changelog of package at version lies: changelog.Debian.gz
// in its documents' directory, changelog.gz when the version has no Debian
// revision (a native package), as lintian wants; a version dpkg refuses
// counts as native.
QString changelogPath(const QString &workDir, const QString &package, const QString &version);

// The changelog of the package at path, decompressed.
Result readChangelog(const QString &path, QByteArray *text);
