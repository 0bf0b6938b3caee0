#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

// How every operation of the core reports back: whether it succeeded, and
// the text the user is to read either way (a completion message, or what
// went wrong and where). Windows show it in a box, the command line prints
// it; neither has to know which operation produced it.
struct Result
{
    bool success = true;
    QString message;
    // What the user may open behind the message: long listings such as a
    // checker's tags.
    QString details;
    // What a step that succeeded wants the user to know (a file left out, a
    // line not applied); the operation that reports to the user folds them
    // into its message.
    QStringList warnings;
    // The work is done, but a check the user asked for found errors (lintian's
    // error tags): the window shows the work as done, with the errors first;
    // the command line exits with 1, so that a script can stop on them.
    bool checkFailed = false;

    static Result failure(const QString &message, const QString &details = QString())
    {
        Result result;
        result.success = false;
        result.message = message;
        result.details = details;
        return result;
    }
    static Result done(const QString &message = QString())
    {
        Result result;
        result.message = message;
        return result;
    }
    static Result doneWith(const QStringList &warnings)
    {
        Result result;
        result.warnings = warnings;
        return result;
    }

    bool failed() const { return !success; }
};

// Runs the steps in order and stops at the first that fails, returning its
// failure; when all succeed, the result carries the warnings of every step.
inline Result runSteps(std::initializer_list<std::function<Result()>> steps)
{
    QStringList warnings;
    for (const std::function<Result()> &step : steps) {
        const Result done = step();
        if (done.failed())
            return done;
        warnings << done.warnings;
    }
    return Result::doneWith(warnings);
}

// The result of some work with the report of a check the user asked for
// (lint, reproducibility): the report follows the work's message, or leads
// it when the check failed; its details are added to the work's, and a
// failed check fails the whole.
inline Result withCheckReport(Result work, const Result &check)
{
    work.message = check.checkFailed ? check.message + QStringLiteral("\n\n") + work.message
                                     : work.message + QStringLiteral("\n\n") + check.message;
    if (!check.details.isEmpty())
        work.details += (work.details.isEmpty() ? QString() : QStringLiteral("\n\n")) + check.details;
    work.checkFailed = work.checkFailed || check.checkFailed;
    return work;
}
