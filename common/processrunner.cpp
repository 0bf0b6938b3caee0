#include "common/processrunner.h"

#include "common/job.h"

#include <signal.h>
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

ProcessResult runProcess(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    ProcessResult result;
    GroupProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setProgram(program);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.startError = QStringLiteral("не удалось запустить %1: %2").arg(program, process.errorString());
        return result;
    }
    result.started = true;
    const pid_t group = pid_t(process.processId());
    waitForTool(process);
    // The tool has ended; nothing it started may outlive it.
    ::kill(-group, SIGKILL);
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}
