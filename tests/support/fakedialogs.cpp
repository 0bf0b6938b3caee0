#include "fakedialogs.h"

FakeDialogs::FakeDialogs()
{
    Dialogs::install(this);
}

FakeDialogs::~FakeDialogs()
{
    Dialogs::install(nullptr);
}

namespace {

FakeDialogs::Shown box(const QString &kind, const QString &title, const QString &text, QWidget *parent = nullptr,
                       const QString &dir = {}, const QString &filter = {}, const QString &details = {})
{
    FakeDialogs::Shown shown;
    shown.kind = kind;
    shown.title = title;
    shown.text = text;
    shown.parent = parent;
    shown.dir = dir;
    shown.filter = filter;
    shown.details = details;
    return shown;
}

} // namespace

void FakeDialogs::critical(const QString &title, const QString &text, const QString &details)
{
    shown.append(box(QStringLiteral("critical"), title, text, nullptr, {}, {}, details));
}

void FakeDialogs::information(const QString &title, const QString &text, const QString &details)
{
    shown.append(box(QStringLiteral("information"), title, text, nullptr, {}, {}, details));
}

bool FakeDialogs::question(const QString &title, const QString &text)
{
    shown.append(box(QStringLiteral("question"), title, text));
    return answers.isEmpty() ? false : answers.dequeue();
}

QString FakeDialogs::textInput(const QString &title, const QString &label, const QStringList &items)
{
    shown.append(box(QStringLiteral("input"), title,
                     label + (items.isEmpty() ? QString() : QLatin1Char(' ') + items.join(QLatin1Char(',')))));
    return texts.isEmpty() ? QString() : texts.dequeue();
}

QString FakeDialogs::existingDirectory(QWidget *parent, const QString &caption)
{
    shown.append(box(QStringLiteral("directory"), caption, {}, parent));
    return paths.isEmpty() ? QString() : paths.dequeue();
}

QString FakeDialogs::openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    shown.append(box(QStringLiteral("file"), caption, {}, parent, dir, filter));
    return paths.isEmpty() ? QString() : paths.dequeue();
}

Dialogs::SaveAnswer FakeDialogs::askToSave(const QString &title, const QString &text)
{
    shown.append(box(QStringLiteral("save"), title, text));
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
