#include "exebuild/shipready.h"

#include "common/processrunner.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The value of one dpkg-buildflags flag, hardening all on.
Result buildFlag(const QString &name, QStringList *words)
{
    const ProcessResult flags = runProcess(QStringLiteral("dpkg-buildflags"), {QStringLiteral("--get"), name},
                                           QString(), {QStringLiteral("DEB_BUILD_MAINT_OPTIONS=hardening=+all")});
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

QString linkedLibraryPath(const QString &lddOutput, const QString &prefix)
{
    for (const QString &line : lddOutput.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        const int arrow = trimmed.indexOf(QStringLiteral(" => "));
        if (!trimmed.startsWith(prefix) || arrow < 0)
            continue;
        const QString rest = trimmed.mid(arrow + 4);
        const int address = rest.lastIndexOf(QStringLiteral(" ("));
        return address < 0 ? rest : rest.left(address);
    }
    return QString();
}

QString packageFromSearch(const QString &dpkgSearchOutput)
{
    for (const QString &line : dpkgSearchOutput.split(QLatin1Char('\n'))) {
        // "diversion by PACKAGE from: PATH" and "... to: PATH" name no owner.
        const int separator = line.indexOf(QStringLiteral(": "));
        if (separator > 0 && !line.startsWith(QLatin1String("diversion by ")))
            return line.left(separator).section(QLatin1Char(':'), 0, 0).section(QLatin1Char(','), 0, 0);
    }
    return QString();
}

QString runtimePackage(const QString &executable)
{
    const ProcessResult ldd = runProcess(QStringLiteral("ldd"), {executable});
    if (!ldd.succeeded())
        return QString();
    const QString library = linkedLibraryPath(ldd.standardOutput, QStringLiteral("libpython"));
    if (library.isEmpty())
        return QString();
    // dpkg knows the library under its real path (/usr/lib, not /lib).
    const QString real = QFileInfo(library).canonicalFilePath();
    const ProcessResult search = runProcess(QStringLiteral("dpkg"), {QStringLiteral("-S"), real});
    return search.succeeded() ? packageFromSearch(search.standardOutput) : QString();
}
