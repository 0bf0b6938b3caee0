#include "common/editortext.h"

#include "common/filesystem.h"

#include <QFileInfo>
#include <QTextCodec>

namespace {

// The text an editor holds of bytes, and whether they are UTF-8 without NUL
// bytes. A text document turns CR, U+2029 and its frame marks U+FDD0 and
// U+FDD1 into line ends, so they are shown as such here too.
QString shownText(const QByteArray &bytes, bool *utf8)
{
    // Decoded with the byte order mark kept, which QString::fromUtf8 drops.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    *utf8 = !bytes.contains('\0') && state.invalidChars == 0 && state.remainingChars == 0;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar lineEnd : {QChar(u'\r'), QChar(QChar::ParagraphSeparator), QChar(0xfdd0), QChar(0xfdd1)})
        text.replace(lineEnd, QLatin1Char('\n'));
    return text;
}

QString readOnlyWarning(const QString &path, const QString &reason)
{
    return QStringLiteral("Файл %1 содержит %2: показать его точно нельзя, поэтому он открыт только для чтения")
        .arg(path, reason);
}

} // namespace

Result readEditorText(const QString &path, EditorText *text)
{
    *text = EditorText();
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return Result::done();
    // Read whole, decoded and laid out, a file takes many times its size in
    // memory: a huge one would end the program. Nothing is shown, so the
    // empty text must not be saved over it.
    if (info.size() > maxEditorFileSize) {
        text->readOnly = true;
        return Result::failure(QStringLiteral("Файл %1 слишком велик для редактора (%2 байт, открываются файлы до "
                                              "%3 МиБ): он не открыт и не изменён")
                                   .arg(path)
                                   .arg(info.size())
                                   .arg(maxEditorFileSize >> 20));
    }
    QByteArray bytes;
    const Result read = readRegularFile(path, &bytes);
    if (read.failed())
        return read;
    bool utf8 = true;
    text->text = shownText(bytes, &utf8);
    text->lineEnds = bytes.contains("\r\n") ? LineEnds::CrLf : LineEnds::Lf;
    if (!utf8) {
        text->readOnly = true;
        return Result::doneWith(
            {readOnlyWarning(path, QStringLiteral("нулевые байты или текст не в кодировке UTF-8"))});
    }
    // What the editor would write back must be the file itself.
    if (editorBytes(text->text, text->lineEnds) != bytes) {
        text->readOnly = true;
        return Result::doneWith(
            {readOnlyWarning(path, QStringLiteral("концы строк разного вида (LF и CR LF) или одиночные CR"))});
    }
    return Result::done();
}

QByteArray editorBytes(const QString &text, LineEnds lineEnds)
{
    QString lines = text;
    lines.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (lineEnds == LineEnds::CrLf)
        lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines.toUtf8();
}
