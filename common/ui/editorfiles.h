#pragma once

#include "common/result.h"

#include <QString>

class QTextEdit;

// Loads a file into an editor as plain text (never the rich-text guess), so
// content that looks like markup is shown and saved unchanged. A missing file
// or a directory leaves the editor empty and is not an error; false with
// *error set when an existing file cannot be read or is no regular file (a
// FIFO is never opened). A file the editor cannot hold byte for byte (a NUL
// byte, or text that is not UTF-8) is shown read-only, also with *error set.
// The text counts as unmodified afterwards.
bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error);

// Writes the editor's plain text to path atomically (see writeFileAtomically);
// refused while the editor is read-only, since its text is not the file's.
// Once written, the text counts as unmodified.
Result saveEditor(const QString &path, const QTextEdit *editor);
