#pragma once

#include "common/result.h"

#include <QString>

#include <sys/stat.h>

// Copies the work directory source to target, which must not exist yet, the
// way the staging copy needs it: links are copied as what they point to,
// contents and times are kept, every entry below the top gets mode 0755 and
// the top keeps its own mode. The directory skipped (the staging directory
// itself, when the work directory holds the temporary directory) is left out.
// A failure names the entry and the reason.
Result copyStagingTree(const QString &source, const QString &target, const struct stat &skipped);
