#pragma once

#include "common/result.h"
#include "package/control/paragraph.h"

#include <QString>
#include <QStringList>

// What the staged package's Architecture (control: its control file) says
// against its ELF files (elfFiles: their paths below the package root, the
// staged tree at root).
//
// Refused: a concrete architecture with ELF files made for another one,
// as their headers tell it (class, byte order, machine) against what
// dpkg-architecture says of the architecture (GNU cpu, bits, endianness).
// Not judged: an architecture dpkg-architecture does not know, a machine
// this check has no name for, and what lintian's binary-from-other-
// architecture lets pass (detached debug symbols, Guile's compiled files,
// the old multiarch directories of the word size they name, 64-bit kernel
// modules of a 32-bit architecture, 32-bit x86 programs in a 64-bit x86
// package), and firmware, which runs on the devices it is loaded into.
//
// Warned of, as lintian sees them: "all" with ELF files in the package, or
// a concrete architecture with none, where "all" would do (a transitional
// or meta package aside). The messages name the files as installed, "/"
// first.
Result checkStagedArchitecture(const ControlParagraph &control, const QString &root, const QStringList &elfFiles);
