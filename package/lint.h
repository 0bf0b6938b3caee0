#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// lintian on a newly built package.

// True if lintian can be run.
bool lintianInstalled();

// The file dpkg-deb writes into outputDir for a control file:
// <Package>_<Version without epoch>_<Architecture>.deb.
QString packageFilePath(const QString &outputDir, const QByteArray &control);

// What lintian reported.
struct LintSummary
{
    int errors = 0;
    int warnings = 0;
    QStringList tags; // the "E:" and "W:" lines as lintian wrote them
};

LintSummary summarizeLintian(const QString &output);

// The counts as the message, the tags as its details.
Result lintReport(const LintSummary &summary);

// Runs lintian on the package built from workDir into outputDir. The
// result says whether lintian ran; its message is the report or why not.
Result lintBuiltPackage(const QString &workDir, const QString &outputDir);
