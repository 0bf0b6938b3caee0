#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// A file as a text editor holds it: the text shown, and whether it can be
// saved back, which it cannot when the editor would not give back the
// file's bytes (a NUL byte, or text that is not UTF-8).
struct EditorText
{
    QString text;
    bool readOnly = false;
};

// Reads the file at path for an editor. A missing path or a directory gives
// the empty text and is no failure; anything else that is no regular file
// (a FIFO is never opened) and a failed read are. A file the editor cannot
// hold byte for byte comes back read-only, with a warning that says so.
Result readEditorText(const QString &path, EditorText *text);

// The bytes an editor's text is saved as.
QByteArray editorBytes(const QString &text);
