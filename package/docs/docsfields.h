#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// The fields of DEBIAN/control that the package documents are made from.
struct DocsFields
{
    QString package;
    QString version;
    QString maintainer;
    QString synopsis; // the first line of Description
    QString description; // its further lines, " ." lines as empty ones
    QString homepage;
    // Who signs a new changelog entry: "DEBFULLNAME <DEBEMAIL>" when the
    // environment names one, as dch does; the Maintainer otherwise.
    QString signer;
};

// Reads the fields from controlText; the signer is signer, or the
// Maintainer when that is empty. A refusal names the first field that is missing or would break a document
// it goes into verbatim: one that runs over several lines, a version dpkg
// refuses, a Maintainer (or signer) that is not "Name <address>".
Result docsFieldsFrom(const QByteArray &controlText, DocsFields *fields, const QString &signer = QString());

// Reads workDir + "/DEBIAN/control" into fields, the signer taken from the
// environment when it names one (environmentSigner).
Result readDocsFields(const QString &workDir, DocsFields *fields);

// The directory of the package's documents below workDir.
QString docDirectory(const QString &workDir, const QString &package);
