#pragma once

#include <QString>

// How every operation of the core reports back: whether it succeeded, and
// the text the user is to read either way (a completion message, warnings,
// or what went wrong and where). Windows show it in a box, the command line
// prints it; neither has to know which operation produced it.
struct Result
{
    bool success = true;
    QString message;
    // What the user may open behind the message: long listings such as a
    // checker's tags.
    QString details;

    static Result failure(const QString &message) { return {false, message, QString()}; }
    static Result done(const QString &message = QString()) { return {true, message, QString()}; }

    bool failed() const { return !success; }
};
