#include "common/processrunner.h"

#include <QProcess>

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

OutputObserver &outputObserver()
{
    static OutputObserver observer;
    return observer;
}

} // namespace

void setOutputObserver(OutputObserver observer)
{
    outputObserver() = std::move(observer);
}

ProcessResult runProcess(const QString &program, const QStringList &arguments,
                         const QString &workingDirectory)
{
    ProcessResult result;
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setProgram(program);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.startError = QStringLiteral("не удалось запустить %1: %2")
                                .arg(program, process.errorString());
        return result;
    }
    result.started = true;
    QByteArray output, error;
    if (const OutputObserver &observer = outputObserver()) {
        // The wait below reads both pipes as they fill and signals each piece.
        const auto pass = [&](QByteArray *captured, QByteArray chunk) {
            *captured += chunk;
            observer(chunk);
        };
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [&] { pass(&output, process.readAllStandardOutput()); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [&] { pass(&error, process.readAllStandardError()); });
    }
    process.waitForFinished(-1);
    result.standardOutput = QString::fromUtf8(output + process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(error + process.readAllStandardError());
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}
