#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the package build warns of in the package's documents before it
// builds: text of the templates left in them, and a changelog that is not
// at the control's version.

// One warning, "file: строка N: …", for each line of text that still holds
// a template's placeholder (templatePlaceholders).
QStringList placeholderWarnings(const QString &file, const QByteArray &text);

// What the documents of workDir's package, by its control text, still lack:
// placeholders left in the control file, its shortcuts, its copyright file
// and its changelog, and a changelog whose top version is not the control's.
// Each warning names the file below workDir.
QStringList documentWarnings(const QString &workDir, const QByteArray &control);
