#pragma once

#include "common/result.h"

#include <QString>

class QTextEdit;

// Loads a file into an editor as plain text (never the rich-text guess), so
// content that looks like markup is shown and saved unchanged; what is read
// and refused is readEditorText's decision. A file the editor cannot hold
// byte for byte is shown read-only, its warning in the result. The file's
// line ends are kept for the save. The text counts as unmodified afterwards.
Result loadIntoEditor(const QString &path, QTextEdit *editor);

// Writes the editor's text to path atomically (see writeFileAtomically), with
// the line ends of the file loaded last: an untouched file is written back
// byte for byte. Refused while the editor is read-only, since its text is not
// the file's. Once written, the text counts as unmodified.
Result saveEditor(const QString &path, const QTextEdit *editor);
