#pragma once

#include <QString>

// The form a Russian noun takes after the number n: one for 1, 21, 101
// ("строку"), few for 2 to 4, 22 to 24 ("строки"), many for the rest, 11 to
// 14 included ("строк").
QString pluralForm(qint64 n, const QString &one, const QString &few, const QString &many);
