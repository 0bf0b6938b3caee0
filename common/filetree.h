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

// Refuses to reach below root through a link: fails, naming the link, when
// one of the entries on the way root + "/" + relative (each piece of
// relative, the last included) is a symbolic link. root itself may be
// reached through links, as the user named it; a missing piece ends the
// check without a failure.
Result refuseLinksBelow(const QString &root, const QString &relative);
