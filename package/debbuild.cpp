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

    // fakeroot dpkg-deb --build; the message is the tools' warnings.
    Result pack(const QString &staging)
    {
        const ProcessResult package = runProcess(QStringLiteral("fakeroot"),
                                                 packageArguments(staging, m_directory.path()));
        if (!package.succeeded())
            return Result::failure(outside(package.failureText()));
        const QStringList names = QDir(m_directory.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        if (names.size() != 1)
            return Result::failure(QStringLiteral("dpkg-deb не создал файл пакета в %1").arg(m_outputDir));
        m_name = names.first();
        return Result::done(outside(package.warnings()));
    }

    // lintian on the package where it lies, before anything can see it.
    Result lint() const
    {
        Result checked = lintPackage(m_directory.path() + QLatin1Char('/') + m_name);
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

private:
    // The tools name the private directory; the user knows the output one.
    QString outside(QString text) const { return text.replace(m_directory.path(), m_outputDir); }

    const QString m_outputDir;
    PrivateDirectory m_directory;
    QString m_name;
};

Result stageAndBuild(const QString &workDir, const QString &privateDir, const QString &staging,
                     const AccessRules &rules, QStringList notes, UnfinishedPackage *package)
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

    const Result packed = package->pack(staging);
    if (packed.failed())
        return failed(packed.message);
    QString warnings = packed.message;
    warnings.replace(staging, named);
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
    UnfinishedPackage package(outputDir);
    if (package.made().failed())
        return Result::failure(buildError + package.made().message);
    Result result = stageAndBuild(workDir, privateDir.path(), privateDir.path() + QLatin1Char('/') + name, rules,
                                  control.warnings, &package);
    const Result removed = privateDir.remove();
    if (removed.failed())
        result.message += QStringLiteral("\n\n") + removed.message;
    if (result.failed())
        return result;

    const Result checked = lint ? package.lint() : Result::done();
    const Result published = package.publish();
    if (published.failed())
        return Result::failure(buildError + published.message);
    // The check the user asked for was not done: the package stays, and the
    // build fails with a message that says so.
    if (checked.failed())
        return Result::failure(QStringLiteral("Пакет %1 собран, но проверка lintian не выполнена: %2\n\n")
                                   .arg(package.path(), checked.message)
                               + result.message);
    if (lint) {
        result.message += QStringLiteral("\n\n") + checked.message;
        result.details = checked.details;
    }
    return result;
}
