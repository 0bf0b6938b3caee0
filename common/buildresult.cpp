#include "common/buildresult.h"

#include "common/dialogs.h"

void showResult(const BuildResult &result)
{
    if (result.success)
        showDone(result.message);
    else
        showError(result.message);
}

QString operandPath(const QString &path)
{
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
}
