#include "exebuild/shipready.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/privatedir.h"
#include "common/processrunner.h"

#include <QDir>
#include <QRegularExpression>

namespace {

// The value of one dpkg-buildflags flag, hardening all on.
Result buildFlag(const QString &name, QStringList *words, const QStringList &environment)
{
    const ProcessResult flags = runQuery(QStringLiteral("dpkg-buildflags"), {QStringLiteral("--get"), name},
                                         QStringList{QStringLiteral("DEB_BUILD_MAINT_OPTIONS=hardening=+all")}
                                             + environment);
    if (!flags.succeeded())
        return Result::failure(QStringLiteral("dpkg-buildflags: ") + flags.failureText());
    *words = flags.standardOutput.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return Result::done();
}

// dpkg-shlibdeps -O for the files, run where a minimal debian/control
// makes it believe it is in a source tree, for the architecture when one is
// given (it takes DEB_HOST_ARCH as dpkg-architecture does).
Result runShlibdeps(const QStringList &files, const QString &architecture, QString *output)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return directory.made();
    const QString source = directory.path();
    if (!QDir().mkdir(source + QStringLiteral("/debian")))
        return Result::failure(QStringLiteral("Не удалось создать каталог %1/debian").arg(source));
    const Result written = writeFileAtomically(source + QStringLiteral("/debian/control"),
                                               "Source: staged\n\nPackage: staged\nArchitecture: any\n");
    if (written.failed())
        return written;
    QStringList arguments{QStringLiteral("-O"), QStringLiteral("--ignore-missing-info")};
    for (const QString &file : files)
        arguments << QStringLiteral("-e") + file;
    // Its answer is read here, no news for the user's log.
    const QuietOutput quiet;
    const ProcessResult run = runProcess(
        QStringLiteral("dpkg-shlibdeps"), arguments, source,
        architecture.isEmpty() ? QStringList() : QStringList{QStringLiteral("DEB_HOST_ARCH=") + architecture});
    if (!run.succeeded())
        return Result::failure(run.failureText());
    *output = run.standardOutput;
    return Result::done();
}

} // namespace

Result readBuildFlags(BuildFlags *flags, const QStringList &environment)
{
    Result read = buildFlag(QStringLiteral("CFLAGS"), &flags->cflags, environment);
    if (read.success)
        read = buildFlag(QStringLiteral("CPPFLAGS"), &flags->cppflags, environment);
    if (read.success)
        read = buildFlag(QStringLiteral("LDFLAGS"), &flags->ldflags, environment);
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

QString runtimeLibrary(const QString &compiler, const QString &runtime)
{
    const ProcessResult found = runQuery(compiler,
                                         {QStringLiteral("-print-file-name=lib") + runtime + QStringLiteral(".so")});
    const QString path = found.standardOutput.trimmed();
    return found.succeeded() && path.startsWith(QLatin1Char('/')) ? path : QString();
}

Result sharedLibraryDepends(const QStringList &files, QStringList *entries, const QString &architecture)
{
    entries->clear();
    QString output;
    const Result run = runShlibdeps(files, architecture, &output);
    if (run.failed())
        return Result::doneWith(
            {QStringLiteral("Не удалось определить зависимости от библиотек (dpkg-shlibdeps): ") + run.message});
    const QString prefix = QStringLiteral("shlibs:Depends=");
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            *entries = line.mid(prefix.size()).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    }
    return Result::done();
}
