#include "common/ui/editorfiles.h"

#include "common/editortext.h"
#include "common/filesystem.h"

#include <QTextEdit>

namespace {

// The line ends of the file an editor shows, kept on the editor until the
// next load, so that saving writes them back.
const char lineEndsProperty[] = "bexlorLineEnds";

} // namespace

Result loadIntoEditor(const QString &path, QTextEdit *editor)
{
    EditorText text;
    const Result read = readEditorText(path, &text);
    editor->setPlainText(text.text);
    editor->setReadOnly(text.readOnly);
    editor->setProperty(lineEndsProperty, int(text.lineEnds));
    editor->document()->setModified(false);
    return read;
}

Result saveEditor(const QString &path, const QTextEdit *editor)
{
    if (editor->isReadOnly()) {
        return Result::failure(QStringLiteral("Текст открыт только для чтения: сохранение испортило бы файл. "
                                              "Файл %1 не записан")
                                   .arg(path));
    }
    // The raw text: the plain one has lost no-break spaces and line separators.
    const auto lineEnds = LineEnds(editor->property(lineEndsProperty).toInt());
    const Result written = writeFileAtomically(path, editorBytes(editor->document()->toRawText(), lineEnds));
    if (written.success)
        editor->document()->setModified(false);
    return written;
}
