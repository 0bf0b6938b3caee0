#include "common/ui/editorfiles.h"

#include "common/textfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextEdit>

namespace {

// Text that an editor can hold and give back byte for byte: valid UTF-8
// without NUL bytes.
bool faithfullyShown(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return false;
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

} // namespace

bool loadIntoEditor(const QString &path, QTextEdit *editor, QString *error)
{
    editor->clear();
    editor->document()->setModified(false);
    editor->setReadOnly(false);
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
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf8(bytes);
    // Line ends written on other systems (CR LF, or CR alone) read as line feeds.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    editor->setPlainText(text);
    editor->document()->setModified(false);
    if (!faithfullyShown(bytes)) {
        editor->setReadOnly(true);
        *error = QStringLiteral("Файл %1 содержит нулевые байты или текст не в кодировке UTF-8: показать его "
                                "точно нельзя, поэтому он открыт только для чтения")
                     .arg(path);
        return false;
    }
    return true;
}

Result saveEditor(const QString &path, const QTextEdit *editor)
{
    if (editor->isReadOnly()) {
        return Result::failure(QStringLiteral("Текст открыт только для чтения: сохранение испортило бы файл. "
                                              "Файл %1 не записан")
                                   .arg(path));
    }
    const Result written = writeFileAtomically(path, editor->toPlainText().toUtf8());
    if (written.success)
        editor->document()->setModified(false);
    return written;
}
