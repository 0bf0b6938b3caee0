#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

class QWidget;

// Every message box and file dialog of the program goes through this seam,
// so that tests can answer them with a scripted fake.
class Dialogs
{
public:
    virtual ~Dialogs();

    // Critical box with one Ok button; details, if any, behind its details button.
    virtual void critical(const QString &title, const QString &text, const QString &details = QString()) = 0;
    // Information box with one Ok button; details as for critical.
    virtual void information(const QString &title, const QString &text, const QString &details = QString()) = 0;
    // Question with Yes and No and no default button; true only for Yes.
    virtual bool question(const QString &title, const QString &text) = 0;
    // Asks for one line of text, or, given items, for one of them; the empty
    // text when cancelled.
    virtual QString textInput(const QString &title, const QString &label, const QStringList &items = {}) = 0;
    // Modal directory picker; the empty text when cancelled.
    virtual QString existingDirectory(QWidget *parent, const QString &caption) = 0;
    // Modal open-file picker; the empty text when cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;

    // The implementation in use: the static Qt boxes unless a test installed its own.
    static Dialogs &instance();
    // Installs a replacement (not owned); nullptr restores the Qt boxes.
    static void install(Dialogs *dialogs);

    enum class SaveAnswer { Save, Discard, Cancel };
    // Question with Save, Discard and Cancel, asked before unsaved text would be lost.
    virtual SaveAnswer askToSave(const QString &title, const QString &text) = 0;
};

// Shorthands for the two boxes every handler shows, long texts cut as boxText
// says; details, if given, follow the cut text behind the details button.
void showError(const QString &text, const QString &details = QString());
void showDone(const QString &text, const QString &details = QString());
// The completion box for a result that succeeded, the error box otherwise.
void showResult(const Result &result);
// The error box for a failure, or for the warnings of a success; no box for
// a plain success.
void showProblems(const Result &result);
