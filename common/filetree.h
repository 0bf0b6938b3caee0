#pragma once

#include "common/result.h"

#include <QString>

// Removes path and everything below it without following links: a link, at
// the top or anywhere below, is removed as a link and its target is never
// touched. Directories are opened up (0700) before their content goes, since
// their recorded modes may have closed them. Entries that vanish meanwhile
// are no failure, and neither is a missing path. A failure names the first
// entry that could not be removed and why.
Result removeTree(const QString &path);
