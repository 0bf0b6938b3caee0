#pragma once

#include <QString>

// The access-rights file of a package name K: home + "/.bexlor/builder/" + K.
QString accessRightsPath(const QString &packageName);

// The access-rights lines for the regular files below workDir, links
// followed, in listing order: the path below workDir (starting with "/"),
// ": ", the three octal digits of the permission bits, "\n". Directories get
// no line, and names holding a newline are left out, since a line could not
// carry them.
QString accessRightsText(const QString &workDir);
