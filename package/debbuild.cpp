#include "package/debbuild.h"

#include "common/job.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "desktop/accessrights.h"
#include "package/controlarea.h"
#include "package/controlcheck.h"
#include "package/lint.h"
#include "package/shlibdeps.h"
#include "package/stagingcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

QStringList packageArguments(const QString &staging, const QString &outputDir)
{
    return {QStringLiteral("dpkg-deb"), QStringLiteral("--build"), operandPath(staging), operandPath(outputDir)};
}

namespace {

const QString buildError = QStringLiteral("Ошибка при сборке проекта:\n");

QString missingOr(int error)
{
    return error == ENOENT || error == ENOTDIR ? QStringLiteral("файл не найден") : systemError(error);
}

// Opens the directory parent below root one piece at a time, refusing any
// link on the way (ELOOP). Done by hand rather than with openat2, which
// older kernels and container sandboxes refuse.
int openDirectoryBeneath(int root, const QByteArray &parent)
{
    int fd = ::openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const QByteArray &piece : parent.split('/')) {
        if (fd < 0)
            return -1;
        if (piece.isEmpty() || piece == ".")
            continue;
        struct stat status;
        int next = -1;
        if (::fstatat(fd, piece.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            next = -1;
        else if (S_ISLNK(status.st_mode))
            errno = ELOOP;
        else
            next = ::openat(fd, piece.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        errno = error;
        fd = next;
    }
    return fd;
}

// Sets mode on the entry at relative below root without going through any
// link: a link's target may lie outside the package, and a link itself has
// no mode of its own. A failure says why the line was skipped.
Result setModeInside(int root, const QByteArray &relative, unsigned mode)
{
    const int slash = relative.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : relative.left(slash);
    const QByteArray name = slash < 0 ? relative : relative.mid(slash + 1);
    const int fd = openDirectoryBeneath(root, parent);
    if (fd < 0)
        return Result::failure(errno == ELOOP ? QStringLiteral("путь проходит через ссылку") : missingOr(errno));
    struct stat status;
    int error = 0;
    if (::fstatat(fd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        error = errno;
    else if (!S_ISLNK(status.st_mode) && ::fchmodat(fd, name.constData(), mode, 0) != 0)
        error = errno;
    ::close(fd);
    if (error != 0)
        return Result::failure(missingOr(error));
    return S_ISLNK(status.st_mode) ? Result::failure(QStringLiteral("это ссылка")) : Result::done();
}

// Sets the recorded modes in the staging copy. A line whose file is missing
// there, or that names a link, is skipped alone and noted; the lines after
// it still apply.
Result applyAccessRules(const QString &staging, const AccessRules &rules)
{
    QStringList warnings = rules.skipped;
    const int root = ::open(QFile::encodeName(staging).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const AccessRule &rule : rules.rules) {
        QByteArray relative = rule.path;
        while (relative.startsWith('/'))
            relative.remove(0, 1);
        while (relative.endsWith('/'))
            relative.chop(1);
        const Result set = setModeInside(root, relative.isEmpty() ? QByteArray(".") : relative, rule.mode);
        if (set.failed())
            warnings << skippedNote(rule.line, set.message);
    }
    if (root >= 0)
        ::close(root);
    return Result::doneWith(warnings);
}

// Runs dpkg-deb into a private directory inside the output directory and
// moves only a complete package up to its own name there: a failed or
// killed build leaves no partial .deb behind (the private directory goes
// with it, or at the next build if the program was killed).
ProcessResult packageInto(const QString &staging, const QString &outputDir, QString *packageFile)
{
    PrivateDirectory unfinished(outputDir);
    ProcessResult package;
    if (unfinished.made().failed()) {
        package.startError = unfinished.made().message;
        return package;
    }
    package = runProcess(QStringLiteral("fakeroot"), packageArguments(staging, unfinished.path()));
    for (const QString &name : QDir(unfinished.path()).entryList({QStringLiteral("*.deb")}, QDir::Files)) {
        const QByteArray from = QFile::encodeName(unfinished.path() + QLatin1Char('/') + name);
        const QByteArray to = QFile::encodeName(outputDir + QLatin1Char('/') + name);
        if (package.succeeded())
            *packageFile = QFile::decodeName(to);
        if (package.succeeded() && ::rename(from.constData(), to.constData()) != 0) {
            package.exitCode = -1;
            package.standardError = QStringLiteral("Не удалось переместить %1 в %2: %3")
                                        .arg(QFile::decodeName(from), outputDir, systemError(errno));
        }
    }
    package.standardOutput.replace(unfinished.path(), outputDir);
    package.standardError.replace(unfinished.path(), outputDir);
    return package;
}

Result stageAndBuild(const QString &workDir, const QString &outputDir, const QString &privateDir,
                     const QString &staging, const AccessRules &rules, QStringList notes, QString *packageFile)
{
    struct stat own;
    if (::stat(QFile::encodeName(privateDir).constData(), &own) != 0)
        return Result::failure(buildError + systemError(errno));
    const Result staged = runSteps(
        {[&] { return copyStagingTree(workDir, staging, own); }, [&] { return applyAccessRules(staging, rules); },
         [&] { return prepareControlArea(staging, rules); }, [&] { return checkSharedLibraries(staging); }});
    // The staging copy is gone once the user reads the messages, failures and warnings alike: its files are
    // named where the user has them.
    QString named = workDir;
    while (named.size() > 1 && named.endsWith(QLatin1Char('/')))
        named.chop(1);
    const auto failed = [&](QString text) { return Result::failure(buildError + text.replace(staging, named)); };
    if (staged.failed())
        return failed(staged.message);
    notes << staged.warnings;

    const ProcessResult package = packageInto(staging, outputDir, packageFile);
    if (!package.succeeded())
        return failed(package.failureText());
    QString warnings = package.warnings().replace(staging, named);
    if (!notes.isEmpty()) {
        if (!warnings.isEmpty() && !warnings.endsWith(QLatin1Char('\n')))
            warnings += QLatin1Char('\n');
        warnings += notes.join(QLatin1Char('\n'));
    }
    return Result::done(QStringLiteral("Команда сборки завершена.\n\nПредупреждения при сборке:\n") + warnings);
}

} // namespace

Result buildPackage(const QString &workDir, const QString &outputDir, bool lint)
{
    if (outputDir.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог для deb-файла"));
    const QString name = packageName(workDir);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return Result::failure(QStringLiteral("Необходимо выбрать каталог с проектом"));
    // dpkg-deb takes an output path that is no directory for the package
    // file's own name and would overwrite whatever stands there.
    if (!QFileInfo(outputDir).isDir())
        return Result::failure(buildError + QStringLiteral("Каталог для deb-файла %1 не найден").arg(outputDir));

    const Result control = checkControlFiles(workDir);
    if (control.failed())
        return Result::failure(buildError + control.message);

    AccessRules rules;
    const Result read = readAccessRules(accessRightsPath(name), &rules);
    if (read.failed())
        return Result::failure(buildError + read.message);

    PrivateDirectory privateDir;
    if (privateDir.made().failed())
        return Result::failure(buildError + privateDir.made().message);
    QString packageFile;
    Result result = stageAndBuild(workDir, outputDir, privateDir.path(), privateDir.path() + QLatin1Char('/') + name,
                                  rules, control.warnings, &packageFile);
    const Result removed = privateDir.remove();
    if (removed.failed())
        result.message += QStringLiteral("\n\n") + removed.message;
    if (result.success && lint && !jobCancelled()) {
        const Result checked = lintPackage(packageFile);
        result.message += QStringLiteral("\n\n") + checked.message;
        result.details = checked.details;
    }
    return result;
}
