#include "exebuild/exebuild.h"

#include "common/job.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "common/textfiles.h"
#include "exebuild/scriptnames.h"
#include "exebuild/shipready.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

QStringList translationArguments(const QString &workingCopy)
{
    return {QStringLiteral("-3"), operandPath(workingCopy), QStringLiteral("--embed")};
}

QStringList compilationArguments(const ExecutableBuild &build, const BuildFlags &flags)
{
    return QStringList{QStringLiteral("-Os")} + flags.cflags + flags.cppflags
           + QStringList{QStringLiteral("-I"), QStringLiteral("/usr/include/") + build.runtime, QStringLiteral("-o"),
                         build.binaryDir + QLatin1Char('/') + build.binaryName, operandPath(build.cFile)}
           + flags.ldflags
           + QStringList{QStringLiteral("-l") + build.runtime, QStringLiteral("-lpthread"), QStringLiteral("-lm"),
                         QStringLiteral("-lutil"), QStringLiteral("-ldl")};
}

namespace {

const QString unexpectedError = QStringLiteral("Непредвиденная ошибка:\n");

// A regular file holding exactly the script: the working copy of a build
// that was killed before it could remove it. A file that cannot be read is
// no such copy.
bool leftoverCopy(const QString &script, const QString &workingCopy)
{
    const QFileInfo existing(workingCopy);
    QByteArray copy, original;
    return existing.isFile() && !existing.isSymLink() && existing.size() == QFileInfo(script).size()
           && readRegularFile(workingCopy, &copy).success && readRegularFile(script, &original).success
           && copy == original;
}

// Copies the script to the working copy with its permission bits. Any other
// file already standing there belongs to the user (my_tool.py beside
// my-tool.py) and would be overwritten now and deleted after the build, so
// it is refused.
Result makeWorkingCopy(const QString &script, const QString &workingCopy)
{
    if (leftoverCopy(script, workingCopy))
        QFile::remove(workingCopy);
    const QFileInfo existing(workingCopy);
    if (existing.exists() || existing.isSymLink())
        return Result::failure(QStringLiteral("Файл %1 уже существует: сборка удалила бы его. "
                                              "Переименуйте этот файл и повторите сборку.")
                                   .arg(workingCopy));
    QFile source(script);
    if (!source.copy(workingCopy))
        return Result::failure(
            QStringLiteral("Не удалось создать рабочую копию %1: %2").arg(workingCopy, source.errorString()));
    return Result::done();
}

// Which package the executable needs at run time, for its package's Depends.
QString runtimeNote(const QString &executable)
{
    const QString package = runtimePackage(executable);
    if (package.isEmpty())
        return QStringLiteral("\n\nНе удалось определить пакет библиотеки Python, нужный для запуска.");
    return QStringLiteral("\n\nДля запуска нужен пакет %1: добавьте его в поле Depends пакета.").arg(package);
}

// The translator runs in the script's directory on the bare file name: given
// an absolute path with letters outside Latin-1 it fails on the C file's
// comments in any locale. Its C file lands beside the working copy either way.
Result translateAndCompile(const ExecutableBuild &build, const ScriptNames &names)
{
    const ProcessResult translation = runProcess(QStringLiteral("cython3"), translationArguments(names.underscoredName),
                                                 names.directory);
    if (!translation.started)
        return Result::failure(unexpectedError + translation.startError);
    if (!translation.succeeded())
        return Result::failure(QStringLiteral("Ошибка при сборке файла .c:\n") + translation.failureText());

    if (jobCancelled())
        return Result::failure(cancelledText());
    BuildFlags flags;
    const Result read = readBuildFlags(&flags);
    if (read.failed())
        return Result::failure(QStringLiteral("Ошибка при сборке бинарного файла:\n") + read.message);
    const ProcessResult compilation = runProcess(QStringLiteral("gcc"), compilationArguments(build, flags));
    if (!compilation.started)
        return Result::failure(unexpectedError + compilation.startError);
    if (!compilation.succeeded())
        return Result::failure(QStringLiteral("Ошибка при сборке бинарного файла:\n") + compilation.failureText());
    const QString executable = build.binaryDir + QLatin1Char('/') + build.binaryName;
    const ProcessResult strip = runProcess(QStringLiteral("strip"), stripArguments(executable));
    if (!strip.succeeded())
        return Result::failure(QStringLiteral("Ошибка при сборке бинарного файла:\n") + strip.failureText());

    return Result::done(QStringLiteral("Команда сборки завершена.\n\nПредупреждения при сборке:")
                        + translation.warnings() + QStringLiteral("\n\n") + compilation.warnings()
                        + runtimeNote(executable));
}

// A file the build writes, as it stood before: a cancelled build removes it
// if the tools created or rewrote it, half-written as it may be.
class BuildOutput
{
public:
    explicit BuildOutput(const QString &path)
        : m_path(path)
        , m_before(QFileInfo(path).lastModified())
    { }
    void removeIfWritten() const
    {
        const QFileInfo now(m_path);
        if (now.isFile() && now.lastModified() != m_before)
            QFile::remove(m_path);
    }

private:
    QString m_path;
    QDateTime m_before;
};

} // namespace

Result buildExecutable(const ExecutableBuild &build)
{
    const ScriptNames names = scriptNames(build.script);
    if (build.projectDir.isEmpty() || names.name.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог и файл .py"));
    if (build.binaryName.isEmpty())
        return Result::failure(QStringLiteral("Необходимо ввести имя бинарного файла"));

    const Result regular = checkRegularFile(build.script);
    if (regular.failed())
        return regular;
    // Checked before the compile, whose warnings would bury the message.
    const QString outputDir = build.binaryDir + QLatin1Char('/');
    if (!QFileInfo(outputDir).isDir() || ::access(QFile::encodeName(outputDir).constData(), W_OK) != 0)
        return Result::failure(
            QStringLiteral("Каталог для бинарного файла %1 не найден или недоступен для записи").arg(build.binaryDir));

    const bool copied = names.workingCopy != build.script;
    if (copied) {
        const Result made = makeWorkingCopy(build.script, names.workingCopy);
        if (made.failed())
            return made;
    }
    const BuildOutput cFile(build.cFile), binary(build.binaryDir + QLatin1Char('/') + build.binaryName);
    const Result result = translateAndCompile(build, names);
    if (result.failed() && jobCancelled()) {
        cFile.removeIfWritten();
        binary.removeIfWritten();
    }
    if (copied)
        QFile::remove(names.workingCopy);
    return result;
}
