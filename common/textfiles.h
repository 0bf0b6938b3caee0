#pragma once

#include <QByteArray>
#include <QString>

class QTextEdit;

// Writes data to path through a temporary file that replaces the target only
// once complete, so a failed write leaves the old file as it was; an existing
// file keeps its mode. Returns the empty text on success, otherwise a message
// naming the path and the reason.
QString writeFileAtomically(const QString &path, const QByteArray &data);

// Loads a file into an editor as plain text (never the rich-text guess), so
// content that looks like markup is shown and saved unchanged. A missing file
// or a directory leaves the editor empty and is not an error; false with
// *error set only when an existing file cannot be read.
bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error);

// Writes the editor's plain text to path atomically (see writeFileAtomically).
QString saveEditor(const QString &path, const QTextEdit *editor);
