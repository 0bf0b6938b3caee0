#include "package/debbuild.h"

#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "desktop/accessrights.h"
#include "package/controlarea.h"
#include "package/controlcheck.h"
#include "package/shlibdeps.h"
#include "package/stagingcopy.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

QStringList packageArguments(const QString &staging, const QString &outputDir)
{
    return {QStringLiteral("dpkg-deb"), QStringLiteral("--build"), operandPath(staging), operandPath(outputDir)};
}

namespace {

const QString buildError = QStringLiteral("Ошибка при сборке проекта:\n");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Sets the recorded modes in the staging copy. A line whose file is missing
// there is skipped alone and noted; the lines after it still apply.
void applyAccessRules(const QString &staging, const AccessRules &rules, QStringList *notes)
{
    *notes << rules.skipped;
    for (const AccessRule &rule : rules.rules) {
        const QByteArray target = QFile::encodeName(staging + rule.path);
        if (::chmod(target.constData(), rule.mode) == 0)
            continue;
        *notes << skippedNote(rule.line, errno == ENOENT || errno == ENOTDIR ? QStringLiteral("файл не найден")
                                                                        : systemError(errno));
    }
}

Result stageAndBuild(const QString &workDir, const QString &outputDir, const QString &privateDir,
                          const QString &staging, const AccessRules &rules, QStringList notes)
{
    struct stat own;
    if (::stat(QFile::encodeName(privateDir).constData(), &own) != 0)
        return Result::failure(buildError + systemError(errno));
    const Result copied = copyStagingTree(workDir, staging, own);
    if (copied.failed())
        return Result::failure(buildError + copied.message);

    applyAccessRules(staging, rules, &notes);
    const Result controlArea = prepareControlArea(staging, rules, &notes);
    if (controlArea.failed())
        return Result::failure(buildError + controlArea.message);
    sharedLibraryNotes(staging, &notes);

    const ProcessResult package = runProcess(QStringLiteral("fakeroot"), packageArguments(staging, outputDir));
    if (!package.succeeded())
        return Result::failure(buildError + package.failureText());
    QString warnings = package.warnings();
    if (!notes.isEmpty()) {
        if (!warnings.isEmpty() && !warnings.endsWith(QLatin1Char('\n')))
            warnings += QLatin1Char('\n');
        warnings += notes.join(QLatin1Char('\n'));
    }
    return Result::done(QStringLiteral("Команда сборки завершена.\n\nПредупреждения при сборке:\n") + warnings);
}

} // namespace

Result buildPackage(const QString &workDir, const QString &outputDir)
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

    QStringList notes;
    const Result control = checkControlFiles(workDir, &notes);
    if (control.failed())
        return Result::failure(buildError + control.message);

    AccessRules rules;
    const Result read = readAccessRules(accessRightsPath(name), &rules);
    if (read.failed())
        return Result::failure(buildError + read.message);

    PrivateDirectory privateDir;
    if (privateDir.path().isEmpty())
        return Result::failure(buildError + privateDir.error());
    Result result = stageAndBuild(workDir, outputDir, privateDir.path(),
                                       privateDir.path() + QLatin1Char('/') + name, rules, notes);
    const QString removeError = privateDir.remove();
    if (!removeError.isEmpty())
        result.message += QStringLiteral("\n\n") + removeError;
    return result;
}
