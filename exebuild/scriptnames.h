#pragma once

#include <QString>
#include <QStringList>

// The names derived from a script path S.
struct ScriptNames
{
    QString name; // N: the text after the last "/"
    QString directory; // D: S without N, trailing "/" kept
    QString underscoredName; // N': N with every "-" made "_"
    QString workingCopy; // W = D + N', what the translator reads
    QString cFile; // C = D + N' less its last two characters + "c"
};

ScriptNames scriptNames(const QString &scriptPath);

// The executable name offered for a script: its last path piece without its
// last three characters (empty for three characters or fewer).
QString binaryNameFor(const QString &scriptPath);
