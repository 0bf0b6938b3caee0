#pragma once

#include <QString>

// Starting texts the editors offer for the files of a package. The texts
// are pure functions of their inputs; hostArchitecture and userMaintainer
// read the machine and the account.

// A package name made from K: lowercased, characters dpkg does not allow
// in a name dropped, leading characters other than letters and digits too.
QString packageNameFrom(const QString &k);

// "DEBFULLNAME <DEBEMAIL>" when both are set; otherwise the account's full
// name (the login when that is empty) with a placeholder address.
QString maintainerFrom(const QString &debFullName, const QString &debEmail, const QString &accountName,
                       const QString &login);

// A control file for the package of work directory name K.
QString controlTemplate(const QString &k, const QString &architecture, const QString &maintainer);

// "#!/bin/sh", "set -e", a comment on what the script is for, "exit 0";
// the empty text for a name that is no maintainer script.
QString maintainerScriptTemplate(const QString &script);

// What dpkg --print-architecture says, or "all" when it cannot be run.
QString hostArchitecture();

// maintainerFrom for the environment and the account running the program.
QString userMaintainer();
