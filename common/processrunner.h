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

// The directories tools are taken from, in this order. PATH is never
// searched: an earlier entry there (a user's shim directory) could put
// another program in the tool's place.
QStringList toolDirectories();

// Where the tool of that name is, or the empty text when none of the
// system's directories holds it. A name with a "/" is a path already.
QString toolPath(const QString &name);

// For tests only: makes toolPath answer path for name (the empty text: the
// tool is missing), whatever the system holds. The user's environment has
// no way to reach this.
void setToolForTesting(const QString &name, const QString &path);
void clearToolsForTesting();

// The environment tools run in: the program's own, with PATH set to the
// system's directories, no PYTHON* variables (they would steer the
// runtime a tool starts), every locale variable (LANG, LC_*) that names a
// locale the system lacks set to C.UTF-8 (the C library falls back to C
// anyway, and perl would say so on standard error), and the assignments of
// extra ("NAME=value") on top.
QStringList toolEnvironment(const QStringList &extra = QStringList());

// Runs the tool with the arguments as given (no shell), found by toolPath
// and in toolEnvironment with extra added, in a process group of its own
// below a watchdog, and waits for it, reading both pipes to the end; when it
// returns, nothing the tool started is left running. Safe to call from
// several threads at once. Invalid UTF-8 is decoded with replacement
// characters.
ProcessResult runProcess(const QString &program, const QStringList &arguments,
                         const QString &workingDirectory = QString(), const QStringList &extra = QStringList());

// Runs a tool that only answers a question (a version, a flag, a file's
// package) as runProcess does, under QuietOutput and in the C.UTF-8 locale:
// its answer is read by the program, not the user, and must not change with
// the user's language; a cancel still reaches it.
ProcessResult runQuery(const QString &program, const QStringList &arguments, const QStringList &extra = QStringList());

// Whether the tool's standard error holds a message of its own: a line that
// begins with its name and a colon, as dpkg's tools begin theirs in every
// language. Other programs' text there (perl's locale warnings) is no
// verdict on the tool's work.
bool hasOwnDiagnostic(const ProcessResult &result, const QString &tool);
