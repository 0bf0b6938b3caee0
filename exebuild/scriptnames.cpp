#include "exebuild/scriptnames.h"

#include "common/filesystem.h"
#include "common/paths.h"


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
