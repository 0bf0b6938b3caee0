#include "package/debbuild/lint.h"

#include "common/privatedir.h"
#include "common/processrunner.h"

#include <QDir>
#include <QRegularExpression>

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

Result lintReport(const LintSummary &summary, bool failing, const QString &package)
{
    const QString counts =
        QStringLiteral("Проверка lintian: ошибок — %1, предупреждений — %2.").arg(summary.errors).arg(summary.warnings);
    Result report = Result::done(counts);
    report.details = summary.tags.join(QLatin1Char('\n'));
    if (failing) {
        report.message =
            QStringLiteral("Пакет %1 собран и оставлен на месте, но lintian нашёл в нём ошибки.\n\n").arg(package)
            + counts;
        report.checkFailed = true;
    }
    return report;
}

Result withLintReport(Result build, Result lint, LintOrder order)
{
    const QString gap = QStringLiteral("\n\n");
    if (order == LintOrder::VerdictLast) {
        build.message += gap + (lint.details.isEmpty() ? QString() : lint.details + gap) + lint.message;
        build.checkFailed = build.checkFailed || lint.checkFailed;
        return build;
    }
    if (lint.checkFailed) {
        const QStringList tags = lint.details.split(QLatin1Char('\n'));
        lint.message.prepend(tags.filter(QRegularExpression(QStringLiteral("^E: "))).join(QLatin1Char('\n')) + gap);
    }
    return withCheckReport(build, lint);
}

namespace {

// lintian decodes a temporary directory's path that is not ASCII twice and
// then cannot find its own files: its scratch directory goes to /tmp then.
QString scratchParent()
{
    const QString temporary = QDir::tempPath();
    for (const QChar c : temporary) {
        if (c.unicode() > 127)
            return QStringLiteral("/tmp");
    }
    return temporary;
}

} // namespace

Result lintPackage(const QString &package)
{
    // lintian leaves scratch files behind in its temporary directory; this
    // one goes with everything in it.
    PrivateDirectory scratch(scratchParent());
    if (scratch.made().failed())
        return scratch.made();
    const ProcessResult lintian = runProcess(
        QStringLiteral("lintian"),
        {QStringLiteral("--fail-on"), QStringLiteral("error"), QStringLiteral("--"), package}, QString(),
        {QStringLiteral("TMPDIR=") + scratch.path()});
    // 2 means tags were found at the level that fails (errors, overrides
    // heeded); 1 is lintian's own run-time error. Error tags printed with
    // status 0 (a wrapper, another version) fail the check all the same.
    if (!lintian.started || lintian.crashed || (lintian.exitCode != 0 && lintian.exitCode != 2))
        return Result::failure(lintian.failureText());
    const LintSummary summary = summarizeLintian(lintian.standardOutput);
    return lintReport(summary, lintian.exitCode == 2 || summary.errors > 0, package);
}
