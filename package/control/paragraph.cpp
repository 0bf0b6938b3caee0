#include "package/control/paragraph.h"

#include "package/control/relations.h"

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

// A name as the user reads it; a byte order mark, which QString::fromUtf8
// would drop, stays visible, since dpkg reads it as part of the name.
QString decodedName(const QByteArray &name)
{
    if (name.startsWith(byteOrderMark))
        return QChar(0xFEFF) + QString::fromUtf8(name.mid(byteOrderMark.size()));
    return QString::fromUtf8(name);
}

QByteArray withoutTrailingSpace(QByteArray bytes)
{
    int end = bytes.size();
    while (end > 0 && isControlSpace(bytes.at(end - 1)))
        --end;
    bytes.truncate(end);
    return bytes;
}

QString valueLines(const QByteArray &raw)
{
    QStringList lines;
    for (const QByteArray &line : raw.split('\n'))
        lines << QString::fromUtf8(line.trimmed());
    return lines.join(QLatin1Char('\n'));
}

// Bytes dpkg reads differently from every editor: a NUL ends the value for
// it, and ^Z ends the file.
void checkBytes(const QByteArray &text, QStringList *errors)
{
    if (text.startsWith(byteOrderMark))
        *errors << lineText(1, QStringLiteral("файл начинается с метки порядка байтов UTF-8 (BOM): dpkg-deb считает "
                                              "её частью имени первого поля"));
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).contains('\0'))
            *errors << lineText(i + 1, QStringLiteral("нулевой байт: dpkg-deb читает значение только до него"));
        if (lines.at(i).contains('\x1a'))
            *errors << lineText(i + 1, QStringLiteral("знак ^Z (0x1A): dpkg-deb принимает его за конец файла"));
    }
}

// Reads the paragraph line by line with dpkg's rules: a field line starts
// with no white space, a continuation line with some; an empty line ends
// the paragraph; a line of white space alone is no empty line to dpkg.
class ParagraphReader
{
public:
    explicit ParagraphReader(ControlParagraph *paragraph)
        : m_paragraph(*paragraph)
    { }

    void read(const QByteArray &text)
    {
        QList<QByteArray> lines = text.split('\n');
        const bool finalBreak = text.endsWith('\n');
        if (finalBreak || text.isEmpty())
            lines.removeLast();
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray &line = lines.at(i);
            const bool last = i + 1 == lines.size();
            if (last && !finalBreak) {
                // dpkg ignores a lone byte after the last line break and refuses anything longer.
                if (line.size() <= 1)
                    break;
                error(i + 1, QStringLiteral("в конце файла нет перевода строки"));
            }
            readLine(line, i + 1, last && finalBreak);
        }
        for (ControlField &field : m_paragraph.fields) {
            field.raw = withoutTrailingSpace(field.raw);
            field.value = valueLines(field.raw);
        }
    }

private:
    void error(int line, const QString &text) { m_paragraph.errors << lineText(line, text); }

    void readLine(const QByteArray &line, int number, bool lastLine)
    {
        if (line.isEmpty()) {
            if (m_inParagraph)
                m_endedAt = number;
            m_inParagraph = false;
            return;
        }
        if (isControlSpace(line.at(0))) {
            const bool blank = line.trimmed().isEmpty();
            if (!m_inParagraph)
                error(number, blank ? QStringLiteral("строка из одних пробелов там, где dpkg ждёт поле")
                                    : QStringLiteral("строка продолжения без поля перед ней"));
            else if (blank)
                error(number, QStringLiteral("строка из одних пробелов внутри абзаца"));
            else if (m_current >= 0)
                m_paragraph.fields[m_current].raw += '\n' + line;
            return;
        }
        if (!m_inParagraph && m_paragraphs++ > 0)
            error(m_endedAt, QStringLiteral("пустая строка внутри абзаца (после неё строка %1)").arg(number));
        m_inParagraph = true;
        readField(line, number, lastLine);
    }

    void readField(const QByteArray &line, int number, bool lastLine)
    {
        m_current = -1;
        const QByteArray name = controlFieldName(line);
        if (name.isEmpty()) {
            error(number, QStringLiteral("«%1» не является ни строкой «Поле: значение», ни продолжением (строкой с "
                                         "пробелом в начале)")
                              .arg(QString::fromUtf8(line)));
            return;
        }
        const QString shown = decodedName(name);
        if (name.startsWith('-'))
            error(number, QStringLiteral("имя поля «%1» не может начинаться с «-»").arg(shown));
        else if (name.size() < 2)
            error(number, QStringLiteral("имя поля «%1» короче двух знаков").arg(shown));
        for (const ControlField &earlier : qAsConst(m_paragraph.fields)) {
            if (sameFieldName(earlier.key, name))
                error(number, QStringLiteral("поле «%1» уже указано в строке %2").arg(shown).arg(earlier.line));
        }
        int start = line.indexOf(':', name.size()) + 1;
        while (start < line.size() && isControlSpace(line.at(start)))
            ++start;
        if (start == line.size() && lastLine)
            error(number, QStringLiteral("у поля «%1» нет значения, а за ним конец файла").arg(shown));
        m_current = m_paragraph.fields.size();
        m_paragraph.fields << ControlField{shown, QString(), number, name, line.mid(start)};
    }

    ControlParagraph &m_paragraph;
    bool m_inParagraph = false;
    int m_paragraphs = 0;
    int m_endedAt = 0; // the empty line that ended the last paragraph
    int m_current = -1; // the field that continuation lines extend
};

} // namespace

QString lineText(int line, const QString &text)
{
    return QStringLiteral("строка %1: %2").arg(line).arg(text);
}

const ControlField *ControlParagraph::field(const QString &name) const
{
    const QByteArray key = name.toUtf8();
    for (const ControlField &field : fields) {
        if (sameFieldName(field.key, key))
            return &field;
    }
    return nullptr;
}

QString ControlParagraph::value(const QString &name) const
{
    const ControlField *found = field(name);
    return found ? found->value : QString();
}

QByteArray ControlParagraph::raw(const QString &name) const
{
    const ControlField *found = field(name);
    return found ? found->raw : QByteArray();
}

bool ControlParagraph::has(const QString &name) const
{
    return field(name) != nullptr;
}

ControlParagraph parseControl(const QByteArray &text)
{
    ControlParagraph paragraph;
    checkBytes(text, &paragraph.errors);
    ParagraphReader(&paragraph).read(text);
    return paragraph;
}

QByteArray controlFieldName(const QByteArray &line)
{
    if (line.isEmpty() || isControlSpace(line.at(0)))
        return QByteArray();
    int end = 0;
    while (end < line.size() && !isControlSpace(line.at(end)) && line.at(end) != ':')
        ++end;
    int colon = end;
    while (colon < line.size() && isControlSpace(line.at(colon)) && line.at(colon) != '\n')
        ++colon;
    if (end == 0 || colon == line.size() || line.at(colon) != ':')
        return QByteArray();
    return line.left(end);
}

bool sameFieldName(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a.at(i)) != lower(b.at(i)))
            return false;
    }
    return true;
}
