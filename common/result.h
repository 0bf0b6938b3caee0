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
