#include "exebuild/scriptnames.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "common/processrunner.h"

#include <QFileInfo>

ScriptNames scriptNames(const QString &scriptPath)
{
    ScriptNames names;
    names.name = lastComponent(scriptPath);
    names.directory = scriptPath.left(scriptPath.size() - names.name.size());
    names.underscoredName = QString(names.name).replace(QLatin1Char('-'), QLatin1Char('_'));
    names.workingCopy = names.directory + names.underscoredName;
    names.cFile = names.directory + names.underscoredName.chopped(qMin(2, names.underscoredName.size()))
                  + QLatin1Char('c');
    return names;
}

QString binaryNameFor(const QString &scriptPath)
{
    const QString piece = lastComponent(scriptPath);
    return piece.size() > 3 ? piece.chopped(3) : QString();
}

QString multiarchTriplet()
{
    const ProcessResult asked = runQuery(QStringLiteral("dpkg-architecture"), {QStringLiteral("-qDEB_HOST_MULTIARCH")});
    const QString triplet = asked.standardOutput.trimmed();
    return asked.succeeded() && !triplet.contains(QLatin1Char('/')) ? triplet : QString();
}

QString runtimeConfigName(const QString &triplet, const QString &runtime)
{
    return triplet + QLatin1Char('-') + runtime + QStringLiteral("-config");
}

QStringList installedRuntimes(const QString &triplet)
{
    if (triplet.isEmpty())
        return {};
    // Each libpython3.X-dev ships one configuration program per
    // architecture; Python 3's minor versions stay below 100.
    QStringList runtimes;
    for (int minor = 99; minor >= 0; --minor) {
        const QString runtime = QStringLiteral("python3.%1").arg(minor);
        if (!toolPath(runtimeConfigName(triplet, runtime)).isEmpty())
            runtimes << runtime;
    }
    // The system's python3 first: the default of a build.
    const QString standard = QFileInfo(toolPath(runtimeConfigName(triplet, QStringLiteral("python3")))).symLinkTarget();
    for (const QString &runtime : qAsConst(runtimes)) {
        if (lastComponent(standard) == runtimeConfigName(triplet, runtime)) {
            runtimes.move(runtimes.indexOf(runtime), 0);
            break;
        }
    }
    return runtimes;
}

QStringList installedRuntimes()
{
    return installedRuntimes(multiarchTriplet());
}
