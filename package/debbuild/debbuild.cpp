#include "package/debbuild/debbuild.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "common/reproducibility.h"
#include "common/wording.h"
#include "desktop/accessrights.h"
#include "package/control/controlcheck.h"
#include "package/debbuild/architecturecheck.h"
#include "package/debbuild/buildphases.h"
#include "package/debbuild/controlarea.h"
#include "package/debbuild/debmembers.h"
#include "package/debbuild/lint.h"
#include "package/debbuild/shlibdeps.h"
#include "package/debbuild/stagingcopy.h"
#include "package/docs/documentchecks.h"
#include "package/docs/services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace {

const QString buildError = QStringLiteral("Ошибка при сборке проекта:\n");

// Arguments of fakeroot for building the staging copy into outputDir.
QStringList packageArguments(const QString &staging, const QString &outputDir, const Compression &compression)
{
    return QStringList{QStringLiteral("dpkg-deb")} + compressionArguments(compression)
           + QStringList{QStringLiteral("--build"), operandPath(staging), operandPath(outputDir)};
}

// dpkg-deb writes into a private directory inside the output directory, and
// the package moves up to its own name there only when it is complete,
// checked if that was asked, and not cancelled: a failed, cancelled or
// killed build leaves no partial .deb behind and never replaces an older
// package of the same name (the private directory goes with it, or at the
// next build if the program was killed).
class UnfinishedPackage
{
public:
    explicit UnfinishedPackage(const QString &outputDir)
        : m_outputDir(outputDir)
        , m_directory(outputDir)
    { }

    Result made() const { return m_directory.made(); }

    // fakeroot dpkg-deb --build; the message is its warnings. Its standard
    // output only names the package it builds, in the private directory:
    // the build's message names the package where it ends up instead.
    Result pack(const QString &staging, const Compression &compression)
    {
        const PhaseTimer timer(BuildPhase::Pack);
        const ProcessResult package = runProcess(QStringLiteral("fakeroot"),
                                                 packageArguments(staging, m_directory.path(), compression));
        if (!package.succeeded())
            return Result::failure(outside(package.failureText()));
        const QStringList names = QDir(m_directory.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        if (names.size() != 1)
            return Result::failure(QStringLiteral("dpkg-deb не создал файл пакета в %1").arg(m_outputDir));
        m_name = names.first();
        return Result::done(outside(package.standardError));
    }

    // lintian on the package where it lies, before anything can see it.
    Result lint() const
    {
        const PhaseTimer timer(BuildPhase::Lint);
        Result checked = lintPackage(unpublished());
        checked.message = outside(checked.message);
        return checked;
    }

    // Moves the package up to its own name, unless the work was cancelled.
    Result publish() const
    {
        if (!commitJob())
            return Result::failure(cancelledText());
        const QByteArray from = QFile::encodeName(m_directory.path() + QLatin1Char('/') + m_name);
        if (::rename(from.constData(), QFile::encodeName(path()).constData()) == 0)
            return Result::done();
        const int error = errno;
        return Result::failure(QStringLiteral("Не удалось переместить %1 в %2: %3")
                                   .arg(QFile::decodeName(from), m_outputDir, systemError(error)));
    }

    // Where the package lies once published.
    QString path() const { return m_outputDir + QLatin1Char('/') + m_name; }
    // Where it lies until then.
    QString unpublished() const { return m_directory.path() + QLatin1Char('/') + m_name; }
    QString outputDir() const { return m_outputDir; }

private:
    // The tools name the private directory; the user knows the output one.
    QString outside(QString text) const { return text.replace(m_directory.path(), m_outputDir); }

    const QString m_outputDir;
    PrivateDirectory m_directory;
    QString m_name;
};

bool onFileSystemOf(const QString &path, const QString &other)
{
    struct stat one, two;
    return ::stat(QFile::encodeName(path).constData(), &one) == 0
           && ::stat(QFile::encodeName(other).constData(), &two) == 0 && one.st_dev == two.st_dev;
}

// Stages, prepares, checks and packs; the package stays unpublished.
Result stageAndBuild(const QString &workDir, const QString &privateDir, const QString &staging,
                     const AccessRules &rules, const Compression &compression, QStringList notes,
                     UnfinishedPackage *package)
{
    struct stat own;
    if (::stat(QFile::encodeName(privateDir).constData(), &own) != 0)
        return Result::failure(buildError + systemError(errno));
    StagedData data;
    const auto removeFiles = qScopeGuard([&] { removeStagedFiles(staging, data); });
    ControlParagraph control;
    const auto stagedPaths = [&](QStringList files) {
        for (QString &file : files)
            file.prepend(staging + QLatin1Char('/'));
        return files;
    };
    const Result staged = runSteps({[&] { return stagePackage(workDir, staging, own, rules, &data); },
                                    [&] { return prepareControlArea(staging, rules, data, &control); },
                                    [&] { return checkStagedArchitecture(control, staging, data.elfFiles); },
                                    [&] { return checkSharedLibraries(control, stagedPaths(data.elfFiles)); }});
    // The staging copy is gone once the user reads the messages, failures and warnings alike: its files are
    // named where the user has them.
    QString named = workDir;
    while (named.size() > 1 && named.endsWith(QLatin1Char('/')))
        named.chop(1);
    const auto failed = [&](QString text) { return Result::failure(buildError + text.replace(staging, named)); };
    if (staged.failed())
        return failed(staged.message);
    notes << staged.warnings;

    const Result packed = package->pack(staging, compression);
    if (packed.failed())
        return failed(packed.message);
    const Result unchanged = checkLinkedFiles(named, staging, data);
    if (unchanged.failed())
        return failed(unchanged.message);
    notes << compressionWarnings(compression);
    QString warnings = packed.message;
    warnings.replace(staging, named);
    if (!notes.isEmpty()) {
        if (!warnings.isEmpty() && !warnings.endsWith(QLatin1Char('\n')))
            warnings += QLatin1Char('\n');
        warnings += notes.join(QLatin1Char('\n'));
    }
    const QString note = compressionNote(compression);
    return Result::done(QStringLiteral("Команда сборки завершена.\nФайл пакета: %1").arg(package->path())
                        + (note.isEmpty() ? note : '\n' + note) + warningsSection(warnings));
}

// Stages the package of workDir (named name) in privateDir and packs it into
// package, left unpublished; the staging copy is removed whatever happened.
Result makePackage(const QString &workDir, const QString &name, const AccessRules &rules,
                   const Compression &compression, const QStringList &notes, const PrivateDirectory &privateDir,
                   UnfinishedPackage *package)
{
    // Hard links need the work directory's file system: with TMPDIR on
    // another one, the copy is staged in a private directory of the output
    // directory when that is on it, which the next build cleans up the same
    // way after a kill.
    std::optional<PrivateDirectory> beside;
    if (!onFileSystemOf(privateDir.path(), workDir) && onFileSystemOf(package->outputDir(), workDir))
        beside.emplace(package->outputDir());
    const PrivateDirectory &staging = beside && beside->made().success ? *beside : privateDir;
    const QString staged = staging.path() + QLatin1Char('/') + name;
    Result result = stageAndBuild(workDir, staging.path(), staged, rules, compression, notes, package);
    const PhaseTimer cleaning(BuildPhase::Cleanup);
    const Result removed = beside ? beside->remove() : removeTree(staged);
    if (removed.failed())
        result.message += QStringLiteral("\n\n") + removed.message;
    return result;
}

// Builds the package of workDir a second time, from a copy in another
// directory and under VariedConditions, and compares it with first, the
// package of the first build.
Result compareWithVariedBuild(const QString &workDir, const QString &name, const AccessRules &rules,
                              const Compression &compression, const QString &first)
{
    PrivateDirectory scratch;
    if (scratch.made().failed())
        return scratch.made();
    const QString copies = scratch.path() + QStringLiteral("/copy");
    const Result made = makePath(copies, 0700);
    if (made.failed())
        return made;
    const ProcessResult copied = runProcess(QStringLiteral("cp"),
                                            {QStringLiteral("-PR"), QStringLiteral("--preserve=mode,timestamps,links"),
                                             operandPath(workDir), copies + QLatin1Char('/') + name});
    if (!copied.succeeded())
        return Result::failure(QStringLiteral("Не удалось скопировать рабочий каталог: ") + copied.failureText());
    const VariedConditions varied;
    UnfinishedPackage second(scratch.path());
    if (second.made().failed())
        return second.made();
    const Result built = makePackage(copies + QLatin1Char('/') + name, name, rules, compression, {}, scratch, &second);
    if (built.failed())
        return Result::failure(QStringLiteral("вторая сборка не удалась: ") + built.message);
    return compareBuilds(first, second.unpublished(), varied.description(),
                         [&first](qint64 offset) { return debPlaceOf(first, offset); });
}

} // namespace

Result buildPackage(const QString &workDir, const QString &outputDir, bool lint, const Compression &compression,
                    bool checkReproducible, QString *packagePath, LintOrder order)
{
    std::optional<PhaseTimer> checking(BuildPhase::Check);
    if (outputDir.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог для deb-файла"));
    const QString name = packageName(workDir);
    if (name.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог с проектом"));
    // dpkg-deb takes an output path that is no directory for the package
    // file's own name and would overwrite whatever stands there.
    if (!QFileInfo(outputDir).isDir())
        return Result::failure(buildError + QStringLiteral("Каталог для deb-файла %1 не найден").arg(outputDir));

    const Result compressed = checkCompression(compression);
    if (compressed.failed())
        return Result::failure(buildError + compressed.message);
    QByteArray controlText;
    Result control = checkControlFiles(workDir, &controlText);
    if (control.failed())
        return Result::failure(buildError + control.message);
    control.warnings << documentWarnings(workDir, controlText) << serviceWarnings(workDir);

    AccessRules rules;
    const Result read = readAccessRules(accessRightsPath(name), &rules);
    if (read.failed())
        return Result::failure(buildError + read.message);
    checking.reset();

    // Both builds of a check stamp the same time.
    std::optional<FixedSourceDate> date;
    if (checkReproducible)
        date.emplace();
    PrivateDirectory privateDir;
    if (privateDir.made().failed())
        return Result::failure(buildError + privateDir.made().message);
    UnfinishedPackage package(outputDir);
    if (package.made().failed())
        return Result::failure(buildError + package.made().message);
    Result result = makePackage(workDir, name, rules, compression, control.warnings, privateDir, &package);
    if (result.failed())
        return result;

    const Result reproducible = checkReproducible
                                    ? compareWithVariedBuild(workDir, name, rules, compression, package.unpublished())
                                    : Result::done();
    const Result checked = lint ? package.lint() : Result::done();
    const Result published = package.publish();
    if (published.failed())
        return Result::failure(buildError + published.message);
    if (packagePath)
        *packagePath = package.path();
    // A check the user asked for was not done: the package stays, and the
    // build fails with a message that says so.
    if (reproducible.failed())
        return Result::failure(QStringLiteral("Пакет %1 собран, но проверка воспроизводимости не выполнена: %2\n\n")
                                   .arg(package.path(), reproducible.message)
                               + result.message);
    if (checked.failed())
        return Result::failure(QStringLiteral("Пакет %1 собран, но проверка lintian не выполнена: %2\n\n")
                                   .arg(package.path(), checked.message)
                               + result.message);
    if (checkReproducible) {
        Result verdict = reproducible;
        if (!date->note().isEmpty())
            verdict.message += QLatin1Char('\n') + date->note();
        result = withCheckReport(result, verdict);
    }
    return lint ? withLintReport(result, checked, order) : result;
}
