#include "common/editorfiles.h"

#include "common/textfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTextEdit>

bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error)
{
    editor->clear();
    editor->document()->setModified(false);
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString());
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    // Line ends written on other systems (CR LF, or CR alone) read as line feeds.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    editor->setPlainText(text);
    editor->document()->setModified(false);
    return true;
}

Result saveEditor(const QString &path, const QTextEdit *editor)
{
    const Result written = writeFileAtomically(path, editor->toPlainText().toUtf8());
    if (written.success)
        editor->document()->setModified(false);
    return written;
}
