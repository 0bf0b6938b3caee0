#include "fakedialogs.h"

FakeDialogs::FakeDialogs()
{
    Dialogs::install(this);
}

FakeDialogs::~FakeDialogs()
{
    Dialogs::install(nullptr);
}

void FakeDialogs::critical(const QString &title, const QString &text, const QString &details)
{
    shown.append({QStringLiteral("critical"), title, text, nullptr, QString(), QString(), details});
}

void FakeDialogs::information(const QString &title, const QString &text, const QString &details)
{
    shown.append({QStringLiteral("information"), title, text, nullptr, QString(), QString(), details});
}

bool FakeDialogs::question(const QString &title, const QString &text)
{
    shown.append({QStringLiteral("question"), title, text});
    return answers.isEmpty() ? false : answers.dequeue();
}

QString FakeDialogs::existingDirectory(QWidget *parent, const QString &caption)
{
    shown.append({QStringLiteral("directory"), caption, QString(), parent});
    return paths.isEmpty() ? QString() : paths.dequeue();
}

QString FakeDialogs::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                  const QString &filter)
{
    shown.append({QStringLiteral("file"), caption, QString(), parent, dir, filter});
    return paths.isEmpty() ? QString() : paths.dequeue();
}

Dialogs::SaveAnswer FakeDialogs::askToSave(const QString &title, const QString &text)
{
    shown.append({QStringLiteral("save"), title, text});
    return saveAnswers.isEmpty() ? SaveAnswer::Cancel : saveAnswers.dequeue();
}

QStringList FakeDialogs::take()
{
    QStringList lines;
    for (const Shown &box : qAsConst(shown))
        lines << box.kind + QStringLiteral(": ") + box.title + QStringLiteral(" / ") + box.text;
    shown.clear();
    return lines;
}
