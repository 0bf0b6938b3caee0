#pragma once

#include "common/result.h"

#include <QString>

class QTextEdit;

// Loads a file into an editor as plain text (never the rich-text guess), so
// content that looks like markup is shown and saved unchanged. A missing file
// or a directory leaves the editor empty and is not an error; false with
// *error set when an existing file cannot be read or is no regular file (a
// FIFO is never opened).
bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error);

// Writes the editor's plain text to path atomically (see writeFileAtomically).
Result saveEditor(const QString &path, const QTextEdit *editor);
