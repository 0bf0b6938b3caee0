#pragma once

#include "common/result.h"

#include <QString>

#include <sys/stat.h>

// Copies the work directory source to target, which must not exist yet, the
// way the staging copy needs it: a link is copied as a link with the same
// target, never followed, and hard links stay hard links; contents and times
// are kept; directories get mode 0755, a regular file 0755 when its own mode
// has any execute bit and 0644 otherwise; the top keeps its own mode. The
// control area alone is copied as what links lead to: a linked DEBIAN as its
// directory, a link in it as its file (one leading elsewhere is refused), so
// that the copy's control area is real and nothing done to it reaches
// outside. FIFOs, sockets and devices are refused. Left out: the directory
// skipped (the staging directory itself, when the work directory holds the
// temporary directory) and the temporaries of unfinished writes. On success
// the warnings name the temporaries left out and the links whose target is
// not in the copy (an absolute target read from the copy's root); a failure
// names the entry and the reason.
Result copyStagingTree(const QString &source, const QString &target, const struct stat &skipped);
