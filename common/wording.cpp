#include "common/wording.h"

QString pluralForm(qint64 n, const QString &one, const QString &few, const QString &many)
{
    const qint64 last = qAbs(n) % 10, lastTwo = qAbs(n) % 100;
    if (last == 1 && lastTwo != 11)
        return one;
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return few;
    return many;
}
