#include "common/editortext.h"

#include "common/textfiles.h"

#include <QFileInfo>
#include <QTextCodec>

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

Result readEditorText(const QString &path, EditorText *text)
{
    *text = EditorText();
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return Result::done();
    QByteArray bytes;
    const Result read = readRegularFile(path, &bytes);
    if (read.failed())
        return read;
    text->text = QString::fromUtf8(bytes);
    // Line ends written on other systems (CR LF, or CR alone) read as line feeds.
    text->text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text->text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (faithfullyShown(bytes))
        return Result::done();
    text->readOnly = true;
    return Result::doneWith({QStringLiteral("Файл %1 содержит нулевые байты или текст не в кодировке UTF-8: показать "
                                            "его точно нельзя, поэтому он открыт только для чтения")
                                 .arg(path)});
}

QByteArray editorBytes(const QString &text)
{
    return text.toUtf8();
}
