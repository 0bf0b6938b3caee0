#pragma once

#include "common/ui/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Scripted stand-in for the message boxes and file dialogs: records every box
// shown and answers from queues. An unscripted question is answered No and an
// unscripted picker is cancelled. Installs itself for its lifetime.
class FakeDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "critical", "information", "question", "input", "directory", "file", "save"
        QString title;
        QString text;
        QWidget *parent = nullptr;
        QString dir;
        QString filter;
        QString details;
    };

    FakeDialogs();
    ~FakeDialogs() override;

    QQueue<bool> answers;
    QQueue<QString> paths;
    QQueue<QString> texts; // answers to textInput; unscripted ones are cancelled
    QList<Shown> shown;

    void critical(const QString &title, const QString &text, const QString &details) override;
    void information(const QString &title, const QString &text, const QString &details) override;
    bool question(const QString &title, const QString &text) override;
    QString textInput(const QString &title, const QString &label, const QStringList &items) override;
    QString existingDirectory(QWidget *parent, const QString &caption) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override;

    // The kinds and texts shown so far as "kind: title / text" lines, then forgets them.
    QStringList take();
    const Shown &last() const { return shown.last(); }

    // Answers to the save questions; unscripted ones are answered Cancel.
    QQueue<SaveAnswer> saveAnswers;
    SaveAnswer askToSave(const QString &title, const QString &text) override;
};
