#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What one external tool did. A run succeeded only if the tool started,
// exited normally and returned 0; standard error alone decides nothing,
// since the tools print warnings there on success.
struct ProcessResult
{
    bool started = false;
    QString startError; // why the tool could not be started or ran away
    bool crashed = false;
    int exitCode = -1;
    QString standardOutput;
    QString standardError;

    bool succeeded() const { return started && !crashed && exitCode == 0; }
    // The tool's own account of a failure: standard error, or standard
    // output and the exit code when standard error is empty.
    QString failureText() const;
    // Standard output followed by standard error, for the success message.
    QString warnings() const;
};

// Runs program with the arguments as given (no shell) in a process group of
// its own and waits for it, reading both pipes to the end; then ends the
// group, so no child of the tool is left running. Invalid UTF-8 is decoded with replacement
// characters.
ProcessResult runProcess(const QString &program, const QStringList &arguments,
                         const QString &workingDirectory = QString());
