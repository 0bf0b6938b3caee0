#include "common/ui/editorfiles.h"

#include "common/editortext.h"
#include "common/textfiles.h"

#include <QTextEdit>

Result loadIntoEditor(const QString &path, QTextEdit *editor)
{
    EditorText text;
    const Result read = readEditorText(path, &text);
    editor->setPlainText(text.text);
    editor->setReadOnly(text.readOnly);
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
    const Result written = writeFileAtomically(path, editorBytes(editor->toPlainText()));
    if (written.success)
        editor->document()->setModified(false);
    return written;
}
