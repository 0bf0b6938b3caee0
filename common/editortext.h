#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// How a file ends its lines: the editor shows every line end as "\n" and
// writes them back the way the file had them.
enum class LineEnds { Lf, CrLf };

// A file as a text editor holds it: the text shown, the line ends to save it
// with, and whether it can be saved back, which it cannot when the editor
// would not give back the file's bytes (a NUL byte, text that is not UTF-8,
// line ends of more than one kind or a CR alone).
struct EditorText
{
    QString text;
    LineEnds lineEnds = LineEnds::Lf;
    bool readOnly = false;
};

// The largest file an editor opens: far above any control file or script,
// md5sums of a huge package included.
constexpr qint64 maxEditorFileSize = qint64(64) << 20;

// Reads the file at path for an editor. A missing path or a directory gives
// the empty text and is no failure; anything else that is no regular file
// (a FIFO is never opened), a file above maxEditorFileSize (refused unread:
// the empty text, read-only, and its size named) and a failed read are. A
// file the editor cannot hold byte for byte comes back read-only, with a
// warning that says so. A byte order mark stays in the text, so that it is
// saved back too.
Result readEditorText(const QString &path, EditorText *text);

// The bytes an editor's text is saved as: UTF-8, every line end ("\n", or
// the paragraph separator U+2029 that a text document keeps between its
// lines) written as lineEnds says.
QByteArray editorBytes(const QString &text, LineEnds lineEnds);
