#pragma once

#include "common/result.h"
#include "package/control/paragraph.h"

#include <QStringList>

// What lintian says of the staged package's Architecture (control: its
// control file) against its ELF files (elfFiles: their paths below the
// package root): "all" with ELF files in the package, or a concrete
// architecture with none, where "all" would do (a transitional or meta
// package aside, as lintian sees them). The warnings name the files as
// installed, "/" first.
Result checkStagedArchitecture(const ControlParagraph &control, const QStringList &elfFiles);
