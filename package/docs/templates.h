#pragma once

#include <QString>

// Starting texts the editors offer for the files of a package. The texts
// are pure functions of their inputs; userMaintainer reads the account.

// A package name made from K: lowercased, characters dpkg does not allow
// in a name dropped, leading characters other than letters and digits too.
QString packageNameFrom(const QString &k);

// Who the environment names, as dch reads it: "DEBFULLNAME <DEBEMAIL>" when
// both are set, DEBEMAIL alone when it holds "Name <address>"; otherwise
// the empty text.
QString signerFrom(const QString &debFullName, const QString &debEmail);

// signerFrom when it names someone; otherwise the account's full name (the
// login when that is empty) with a placeholder address.
QString maintainerFrom(const QString &debFullName, const QString &debEmail, const QString &accountName,
                       const QString &login);

// A control file for the package of work directory name K.
QString controlTemplate(const QString &k, const QString &architecture, const QString &maintainer);

// "#!/bin/sh", "set -e", a comment on what the script is for, "exit 0";
// the empty text for a name that is no maintainer script.
QString maintainerScriptTemplate(const QString &script);

// A machine-readable copyright file for the package, the maintainer holding
// the copyright since year, under licence (one of licenceChoices).
QString copyrightTemplate(const QString &package, const QString &maintainer, int year, const QString &licence);

// The line a new changelog entry starts with, for the user to replace.
QString changelogPlaceholder();

// The texts the templates leave for the user to replace (the description
// and comment, the licence, the changelog line); a line holding one, in any
// case, has not been filled in.
QStringList templatePlaceholders();

// maintainerFrom for the environment and the account running the program.
QString userMaintainer();

// signerFrom for the environment.
QString environmentSigner();
