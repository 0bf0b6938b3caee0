#pragma once

#include "common/result.h"

#include <QString>

// What the DEBIAN file editor decides, apart from its window.

// Creates the standard files of W/DEBIAN (control and the four maintainer
// scripts) that are missing, empty; an existing entry, a link or a FIFO
// included, is left as it is and never opened. A failure lists each file
// that could not be made with the reason.
Result createStandardFiles(const QString &workDir);

// The template the editor offers for the file name of W/DEBIAN: control
// for the package of W, a maintainer script's frame; for any other name a
// failure naming the files that have one.
Result debianFileTemplate(const QString &name, const QString &workDir, QString *text);

// Whether the editor offers to regenerate the file name: md5sums only.
bool offersChecksums(const QString &name);

// W + "/DEBIAN/md5sums".
QString md5sumsPath(const QString &workDir);
