#include "common/processrunner.h"

#include "common/job.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QProcessEnvironment>

#include <algorithm>

#include <locale.h>
#include <unistd.h>

QString ProcessResult::failureText() const
{
    if (!started)
        return startError;
    if (!standardError.isEmpty())
        return standardError;
    const QString status = crashed ? QStringLiteral("аварийное завершение")
                                   : QStringLiteral("код завершения %1").arg(exitCode);
    if (standardOutput.isEmpty())
        return status;
    return standardOutput + QLatin1Char('\n') + status;
}

QString ProcessResult::warnings() const
{
    if (standardOutput.isEmpty() || standardError.isEmpty())
        return standardOutput + standardError;
    return standardOutput + QLatin1Char('\n') + standardError;
}

namespace {

QMutex testToolsMutex;
QHash<QString, QString> testTools;

} // namespace

QStringList toolDirectories()
{
    return {QStringLiteral("/usr/bin"), QStringLiteral("/bin"), QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
}

QString toolPath(const QString &name)
{
    {
        const QMutexLocker locker(&testToolsMutex);
        const auto overridden = testTools.constFind(name);
        if (overridden != testTools.constEnd())
            return overridden.value();
    }
    if (name.contains(QLatin1Char('/')))
        return name;
    for (const QString &directory : toolDirectories()) {
        const QString path = directory + QLatin1Char('/') + name;
        if (::access(QFile::encodeName(path).constData(), X_OK) == 0)
            return path;
    }
    return QString();
}

void setToolForTesting(const QString &name, const QString &path)
{
    const QMutexLocker locker(&testToolsMutex);
    testTools.insert(name, path);
}

void clearToolsForTesting()
{
    const QMutexLocker locker(&testToolsMutex);
    testTools.clear();
}

namespace {

// Whether the assignment sets a locale variable to a locale the system
// lacks.
bool namesMissingLocale(const QString &assignment)
{
    const QString name = assignment.section(QLatin1Char('='), 0, 0);
    const QByteArray locale = assignment.section(QLatin1Char('='), 1).toLocal8Bit();
    if ((name != QLatin1String("LANG") && !name.startsWith(QLatin1String("LC_"))) || locale.isEmpty())
        return false;
    const locale_t loaded = ::newlocale(LC_ALL_MASK, locale.constData(), locale_t(nullptr));
    if (loaded)
        ::freelocale(loaded);
    return !loaded;
}

} // namespace

QStringList toolEnvironment(const QStringList &extra)
{
    QStringList environment;
    for (const QString &assignment : QProcessEnvironment::systemEnvironment().toStringList()) {
        if (namesMissingLocale(assignment))
            environment << assignment.section(QLatin1Char('='), 0, 0) + QStringLiteral("=C.UTF-8");
        else if (!assignment.startsWith(QLatin1String("PATH=")) && !assignment.startsWith(QLatin1String("PYTHON")))
            environment << assignment;
    }
    environment << QStringLiteral("PATH=/usr/sbin:/usr/bin:/sbin:/bin");
    for (const QString &assignment : extra) {
        const QString name = assignment.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
        environment.erase(std::remove_if(environment.begin(), environment.end(),
                                         [&name](const QString &kept) { return kept.startsWith(name); }),
                          environment.end());
        environment << assignment;
    }
    return environment;
}

ProcessResult runProcess(const QString &program, const QStringList &arguments, const QString &workingDirectory,
                         const QStringList &extra)
{
    ProcessResult result;
    const QString path = toolPath(program);
    if (path.isEmpty()) {
        result.startError = QStringLiteral("не удалось запустить %1: программы нет в каталогах %2")
                                .arg(program, toolDirectories().join(QStringLiteral(", ")));
        return result;
    }
    GroupProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setEnvironment(toolEnvironment(extra));
    process.setProgram(path);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.startError = QStringLiteral("не удалось запустить %1: %2").arg(program, process.errorString());
        return result;
    }
    result.started = true;
    waitForTool(process);
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}

ProcessResult runQuery(const QString &program, const QStringList &arguments, const QStringList &extra)
{
    const QuietOutput quiet;
    return runProcess(program, arguments, QString(), QStringList{QStringLiteral("LC_ALL=C.UTF-8")} + extra);
}

bool hasOwnDiagnostic(const ProcessResult &result, const QString &tool)
{
    const QString prefix = tool + QLatin1Char(':');
    const QStringList lines = result.standardError.split(QLatin1Char('\n'));
    return std::any_of(lines.begin(), lines.end(), [&prefix](const QString &line) { return line.startsWith(prefix); });
}
