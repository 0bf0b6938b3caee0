#pragma once

#include <QString>

// The form a Russian noun takes after the number n: one for 1, 21, 101
// ("строку"), few for 2 to 4, 22 to 24 ("строки"), many for the rest, 11 to
// 14 included ("строк").
QString pluralForm(qint64 n, const QString &one, const QString &few, const QString &many);

// What a box shows of a long text: its first 20 lines, then
// "… и ещё N строк" (or строку, строки, as the number wants), and behind
// the details button the whole text, then the extra details if given. A
// text of 20 lines or fewer is shown whole, with the extra details alone.
struct BoxText
{
    QString text;
    QString details;
};
BoxText boxText(const QString &text, const QString &details = QString());

// What ends a build's message: "\n\nПредупреждения при сборке:\n" and the
// warnings, or nothing when there are none, so that the heading never
// stands alone.
QString warningsSection(QString warnings);
