#include "common/wording.h"

#include <QStringList>

QString pluralForm(qint64 n, const QString &one, const QString &few, const QString &many)
{
    const qint64 last = qAbs(n) % 10, lastTwo = qAbs(n) % 100;
    if (last == 1 && lastTwo != 11)
        return one;
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return few;
    return many;
}

BoxText boxText(const QString &text, const QString &details)
{
    const int shownLines = 20;
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() <= shownLines)
        return {text, details};
    const int more = lines.size() - shownLines;
    const QString noun = pluralForm(more, QStringLiteral("строку"), QStringLiteral("строки"), QStringLiteral("строк"));
    // The cut text's whole, then the extra details.
    return {lines.mid(0, shownLines).join(QLatin1Char('\n')) + QStringLiteral("\n… и ещё %1 %2").arg(more).arg(noun),
            details.isEmpty() ? text : text + QStringLiteral("\n\n") + details};
}

QString warningsSection(QString warnings)
{
    while (warnings.endsWith(QLatin1Char('\n')))
        warnings.chop(1);
    return warnings.trimmed().isEmpty() ? QString() : QStringLiteral("\n\nПредупреждения при сборке:\n") + warnings;
}
