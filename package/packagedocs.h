#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The documents every Debian package carries, made from its control file:
// usr/share/doc/<Package>/copyright and changelog.Debian.gz, and the
// lintian override for the one warning that only concerns uploads to Debian.

// The fields the documents are made from.
struct DocsFields
{
    QString package;
    QString version;
    QString maintainer;
};

// Reads the fields from controlText. A refusal names the first field that
// is missing or would break a document it goes into verbatim: one that runs
// over several lines, a version dpkg refuses, a Maintainer that is not
// "Name <address>".
Result docsFieldsFrom(const QByteArray &controlText, DocsFields *fields);

// The date as a changelog trailer writes it (RFC 2822, English names).
QString rfc2822Date(const QDateTime &time);

// A machine-readable copyright file, filled from the fields.
QByteArray copyrightText(const DocsFields &fields, int year);

// A changelog entry for the version, distribution unstable.
QByteArray changelogText(const DocsFields &fields, const QDateTime &time);

// The override of initial-upload-closes-no-bugs: packages made here are
// not uploaded to Debian, so there is no ITP bug to close.
QByteArray lintianOverrideText(const DocsFields &fields);

// The files the documents go to, below workDir.
QStringList docsPaths(const QString &workDir, const DocsFields &fields);

// Reads workDir + "/DEBIAN/control" into fields.
Result readDocsFields(const QString &workDir, DocsFields *fields);

// Writes the documents below workDir, the changelog compressed with
// gzip -9n once dpkg-parsechangelog has read it without a word; existing
// files are replaced.
Result writePackageDocs(const QString &workDir, const DocsFields &fields, const QDateTime &time);
