#pragma once

#include <QString>

// Removes path and everything below it without following links: a link, at
// the top or anywhere below, is removed as a link and its target is never
// touched. Directories are opened up (0700) before their content goes, since
// their recorded modes may have closed them. Entries that vanish meanwhile
// are no failure. Returns 0, or the errno of the first failure with
// *failedPath naming where it happened (ENOENT when path itself is missing).
int removeTree(const QString &path, QString *failedPath);
