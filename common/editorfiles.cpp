#include "common/editorfiles.h"

#include "common/textfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTextEdit>

bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error)
{
    editor->clear();
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return true;
    const Result regular = checkRegularFile(path);
    if (regular.failed()) {
        *error = regular.message;
        return false;
    }
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
    return true;
}

Result saveEditor(const QString &path, const QTextEdit *editor)
{
    return writeFileAtomically(path, editor->toPlainText().toUtf8());
}
