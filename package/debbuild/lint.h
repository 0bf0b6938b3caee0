#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// lintian on a newly built package.

// True if lintian can be run.
bool lintianInstalled();

// What lintian reported.
struct LintSummary
{
    int errors = 0;
    int warnings = 0;
    QStringList tags; // the "E:" and "W:" lines as lintian wrote them
};

LintSummary summarizeLintian(const QString &output);

// The counts as the message, the tags as its details. When lintian found
// tags at its failing level (failing), the message says first that the
// package was made all the same and where it is, and checkFailed is set.
Result lintReport(const LintSummary &summary, bool failing, const QString &package);

// Where lintian's report goes in the build's message: where its reader
// looks first. A box shows its first lines, so there a failed check leads
// with its error tags (see withCheckReport) and the tags are the details; a
// terminal keeps its last lines in view, so there the tags follow the
// build's warnings once and the verdict comes last.
enum class LintOrder { VerdictFirst, VerdictLast };

// The build's result with lintian's report placed as order says.
Result withLintReport(Result build, Result lint, LintOrder order);

// Runs lintian on the package file. The result says whether lintian did its
// check: its message is the counts and its details the tags; or why the
// check was not done (lintian missing, crashed or failed on its own).
Result lintPackage(const QString &package);
