#pragma once

#include "common/result.h"
#include "package/repo/repoindex.h"
#include "package/repo/signing.h"

#include <QString>
#include <QStringList>

// Publishing packages in an APT repository in a directory.
//
// A publication never changes what apt sees in place: the suite's indexes
// (Packages, its .gz and .xz, Release, InRelease, Release.gpg) are made in
// a directory of their own, ".SUITE.bexlor-XXXXXX" beside the suite's
// link, after the new packages are in the pool; then the link is swapped
// to it with one rename(), and only then do the old indexes and the pool
// files no suite lists go. A kill at any point leaves the old repository or
// the new one, both whole; the next publication removes what it left.

struct RepositoryRequest
{
    RepositoryLayout layout;
    QStringList packages; // .deb files to add
    QString remove; // "NAME" or "NAME=VERSION": taken out of the suite
    int keep = 0; // the newest versions kept of each package and architecture; 0 keeps all
    SigningKey signing; // no key: unsigned
    QString exportKey; // where the public key goes, or empty
    int validDays = 0; // Valid-Until that many days after Date; 0: none
    QString url; // how users reach the directory; its file: URI by default
};

// Adds the packages to the suite, removes what remove and keep take out,
// and publishes the suite anew, signed when a key is given; a package that
// is there already with the same bytes changes nothing. Given no package,
// it publishes the suite again (a fresh signature and Valid-Until). The
// message says what changed and ends naming the file of
// /etc/apt/sources.list.d where users put the entry that goes to *sources.
// A directory that holds another tool's repository is refused, and so is a
// publication while another one runs on the directory.
Result publishRepository(const RepositoryRequest &request, QString *sources);

// A package build's result followed by its publication's and the sources
// entry: a failure when the publication failed, saying that the package
// was built all the same.
Result withPublication(const Result &build, const Result &published, const QString &sources);

// For tests only: stops every publication after its operations-th change
// on disk, as a kill there would: later steps, cleaning up included, are
// not done and the publication fails. 0 lifts the limit.
void setFileOperationLimitForTesting(int operations);
