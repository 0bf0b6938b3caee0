#include "package/lint.h"

#include "common/privatedir.h"
#include "common/processrunner.h"
#include "package/controlcheck.h"

#include <QFile>
#include <QStandardPaths>

bool lintianInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty();
}

QString packageFilePath(const QString &outputDir, const QByteArray &control)
{
    const ControlParagraph paragraph = parseControl(control);
    const QString version = paragraph.value(QStringLiteral("Version")).trimmed();
    return outputDir + QLatin1Char('/') + paragraph.value(QStringLiteral("Package")).trimmed().toLower()
           + QLatin1Char('_') + version.mid(version.indexOf(QLatin1Char(':')) + 1) + QLatin1Char('_')
           + paragraph.value(QStringLiteral("Architecture")).trimmed() + QStringLiteral(".deb");
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

Result lintBuiltPackage(const QString &workDir, const QString &outputDir)
{
    QFile control(workDir + QStringLiteral("/DEBIAN/control"));
    if (!control.open(QIODevice::ReadOnly))
        return Result::failure(QStringLiteral("Проверка lintian не выполнена: ") + control.errorString());
    const QString package = packageFilePath(outputDir, control.readAll());
    // lintian leaves scratch files behind in its temporary directory; this
    // one goes with everything in it.
    PrivateDirectory scratch;
    if (scratch.path().isEmpty())
        return Result::failure(QStringLiteral("Проверка lintian не выполнена: ") + scratch.error());
    const ProcessResult lintian =
        runProcess(QStringLiteral("env"), {QStringLiteral("TMPDIR=") + scratch.path(), QStringLiteral("lintian"),
                                           QStringLiteral("--"), package});
    // 1 means tags were found at the level that fails; only more is trouble.
    if (!lintian.started || lintian.crashed || lintian.exitCode > 1)
        return Result::failure(QStringLiteral("Проверка lintian не выполнена: ") + lintian.failureText());
    return lintReport(summarizeLintian(lintian.standardOutput));
}
