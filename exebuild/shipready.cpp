#include "exebuild/shipready.h"

#include "common/processrunner.h"

#include <QRegularExpression>

namespace {

// The value of one dpkg-buildflags flag, hardening all on.
Result buildFlag(const QString &name, QStringList *words)
{
    const ProcessResult flags = runQuery(QStringLiteral("dpkg-buildflags"), {QStringLiteral("--get"), name},
                                         {QStringLiteral("DEB_BUILD_MAINT_OPTIONS=hardening=+all")});
    if (!flags.succeeded())
        return Result::failure(QStringLiteral("dpkg-buildflags: ") + flags.failureText());
    *words = flags.standardOutput.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return Result::done();
}

} // namespace

Result readBuildFlags(BuildFlags *flags)
{
    Result read = buildFlag(QStringLiteral("CFLAGS"), &flags->cflags);
    if (read.success)
        read = buildFlag(QStringLiteral("CPPFLAGS"), &flags->cppflags);
    if (read.success)
        read = buildFlag(QStringLiteral("LDFLAGS"), &flags->ldflags);
    flags->cflags = withoutOptimisation(flags->cflags);
    return read;
}

QStringList withoutOptimisation(const QStringList &cflags)
{
    static const QRegularExpression optimisation(QStringLiteral("^-(O.*|g.*)$"));
    QStringList kept;
    for (const QString &flag : cflags) {
        if (!optimisation.match(flag).hasMatch())
            kept << flag;
    }
    return kept;
}

QStringList stripArguments(const QString &executable)
{
    return {QStringLiteral("--remove-section=.comment"), QStringLiteral("--remove-section=.note"), QStringLiteral("--"),
            executable};
}

QString runtimeLibrary(const QString &runtime)
{
    const ProcessResult found = runQuery(QStringLiteral("gcc"),
                                         {QStringLiteral("-print-file-name=lib") + runtime + QStringLiteral(".so")});
    const QString path = found.standardOutput.trimmed();
    return found.succeeded() && path.startsWith(QLatin1Char('/')) ? path : QString();
}
