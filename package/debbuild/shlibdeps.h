#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

struct ControlParagraph;

// The shared-library dependencies of a staged package, found with
// dpkg-shlibdeps, against what its control file declares in Depends.

// The needed entries ("libc6 (>= 2.34)", "libgl1 | libgl1-mesa-glx") that
// no entry of the declared relationship values (Depends and Pre-Depends)
// implies, versions compared as dpkg compares them: a declared "a | b"
// gives neither a nor b for sure, a declared "b" satisfies "a | b".
QStringList missingEntries(const QStringList &entries, const QList<QByteArray> &declared);

// The Depends line to paste: the declared entries that no missing one makes
// redundant (a "libc6 (>= 2.2)" goes when "libc6 (>= 2.34)" comes), then the
// missing ones.
QString dependsLine(const QString &depends, const QStringList &missing);

// Runs dpkg-shlibdeps on files, the ELF files of the staged tree, for the
// control file's Architecture when it is concrete, in a private directory
// of its own, adds the Python packages that executables
// built by this program name in their note, and warns of what Depends lacks
// with a ready line; a dpkg-shlibdeps failure becomes a warning too, never a
// refusal.
Result checkSharedLibraries(const ControlParagraph &control, const QStringList &files);
