#pragma once

#include <QString>

// What a build pipeline tells the user: one message, shown as a completion
// when the build succeeded and as a failure otherwise.
struct BuildResult
{
    bool success = false;
    QString message;

    static BuildResult failure(const QString &message) { return {false, message}; }
    static BuildResult done(const QString &message) { return {true, message}; }
};

// Shows the result in the matching message box.
void showResult(const BuildResult &result);

// A path handed to a tool as an operand: a relative path that starts with "-"
// gets "./" in front, so that the tool cannot take it for an option.
QString operandPath(const QString &path);
