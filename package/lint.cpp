#include "package/lint.h"

#include "common/privatedir.h"
#include "common/processrunner.h"

bool lintianInstalled()
{
    return !toolPath(QStringLiteral("lintian")).isEmpty();
}

LintSummary summarizeLintian(const QString &output)
{
    LintSummary summary;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("E: ")))
            ++summary.errors;
        else if (line.startsWith(QLatin1String("W: ")))
            ++summary.warnings;
        else
            continue;
        summary.tags << line;
    }
    return summary;
}

Result lintReport(const LintSummary &summary)
{
    Result report = Result::done(QStringLiteral("Проверка lintian: ошибок — %1, предупреждений — %2.")
                                     .arg(summary.errors)
                                     .arg(summary.warnings));
    report.details = summary.tags.join(QLatin1Char('\n'));
    return report;
}

Result lintPackage(const QString &package)
{
    // lintian leaves scratch files behind in its temporary directory; this
    // one goes with everything in it.
    PrivateDirectory scratch;
    if (scratch.made().failed())
        return Result::failure(QStringLiteral("Проверка lintian не выполнена: ") + scratch.made().message);
    const ProcessResult lintian = runProcess(QStringLiteral("lintian"), {QStringLiteral("--"), package}, QString(),
                                             {QStringLiteral("TMPDIR=") + scratch.path()});
    // 2 means tags were found at the level that fails (errors, by default);
    // 1 is lintian's own run-time error.
    if (!lintian.started || lintian.crashed || (lintian.exitCode != 0 && lintian.exitCode != 2))
        return Result::failure(QStringLiteral("Проверка lintian не выполнена: ") + lintian.failureText());
    return lintReport(summarizeLintian(lintian.standardOutput));
}
