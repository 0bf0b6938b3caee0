#pragma once

#include "common/result.h"
#include "package/debbuild/compression.h"
#include "package/debbuild/lint.h"

#include <QString>

// Builds the package of workDir into outputDir: a private staging copy
// made in one pass (stagePackage: links kept as links, the recorded access
// modes, md5sums and Installed-Size), then fakeroot dpkg-deb --build with
// the compression; a hard-linked file that changed meanwhile fails the
// build; the staging directory is removed whatever happened. A compression
// that is not the default is named in the message, and zstd warned of. With
// lint, lintian then checks the new package before it takes its place in
// outputDir: its counts end the message and its tags are the details (error
// tags lead the message and fail the check; order places lintian's report,
// see withLintReport); a lintian that could not do its check (missing,
// crashed, failed on its own) makes the result a failure, with the package
// in place. A cancel, lint included, leaves outputDir as it was. With
// checkReproducible, the package is built a second time, from a copy of
// workDir in another directory under other conditions (VariedConditions),
// both with one SOURCE_DATE_EPOCH, and the two are compared: the verdict
// follows the message, or leads it when they differ, naming the first
// differing member of the package and the offset in it, and fails the
// check; a check that could not be made fails the build, with the package
// in place. The message opens with the package written, where it now lies,
// and carries the text of the box to show; the path of the package in place
// goes to *packagePath when that is given.
Result buildPackage(const QString &workDir, const QString &outputDir, bool lint = false,
                    const Compression &compression = Compression(), bool checkReproducible = false,
                    QString *packagePath = nullptr, LintOrder order = LintOrder::VerdictFirst);
