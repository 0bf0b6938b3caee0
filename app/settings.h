#pragma once

#include "common/result.h"

class QSettings;

// Checks the store's file before it is first opened: without HOME there is
// none; a missing file is fine, anything but a regular file (a FIFO would
// block for ever) is refused.
Result checkSettingsFile();

// The one profile store of the process: home + "/.config/bexlor-builder.ini",
// INI format, UTF-8. Opened on first use (start-up opens it before any window).
QSettings &settings();

// Opens the store afresh. Its status keeps the first error for good, so
// after a failed save this is how the next save gets judged on its own.
void reopenSettings();

// Removes what a killed save left beside the store, once no living writer
// holds it: Qt's lock file, when the process named in it no longer runs
// (QLockFile's rule), and then, under that lock, the temporaries Qt's save
// renames into place (NAME.XXXXXX). While a running instance holds the lock,
// both stay.
void removeSettingsLeftovers();
