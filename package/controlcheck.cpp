#include "package/controlcheck.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "desktop/shortcuts.h"
#include "package/changelog.h"
#include "package/debianmeta.h"
#include "package/relations.h"
#include "package/templates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

QString lineText(int line, const QString &text)
{
    return QStringLiteral("строка %1: %2").arg(line).arg(text);
}

// A name as the user reads it; a byte order mark, which QString::fromUtf8
// would drop, stays visible, since dpkg reads it as part of the name.
QString decodedName(const QByteArray &name)
{
    if (name.startsWith(byteOrderMark))
        return QChar(0xFEFF) + QString::fromUtf8(name.mid(byteOrderMark.size()));
    return QString::fromUtf8(name);
}

// A value in a message, on one line.
QString shownValue(const QByteArray &raw)
{
    return QString::fromUtf8(raw).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
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

// Whether value is one of allowed, ASCII letters without regard to case, as
// dpkg compares field names and the words of its own fields.
bool isOneOf(const QByteArray &value, std::initializer_list<const char *> allowed)
{
    for (const char *word : allowed) {
        if (sameFieldName(value, word))
            return true;
    }
    return false;
}

void checkRequired(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    for (const char *name : {"Package", "Version", "Architecture"}) {
        if (paragraph.raw(QLatin1String(name)).isEmpty())
            verdict->errors << QStringLiteral("нет поля «%1» или оно пустое").arg(QLatin1String(name));
    }
    for (const char *name : {"Maintainer", "Description"}) {
        if (!paragraph.has(QLatin1String(name)))
            verdict->warnings << QStringLiteral("нет поля «%1»").arg(QLatin1String(name));
    }
}

void checkNameAndVersion(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    const QString name = shownValue(paragraph.raw(QStringLiteral("Package")));
    if (!name.isEmpty() && !isValidPackageName(name))
        verdict->errors << QStringLiteral("имя пакета «%1» недопустимо: нужны строчные латинские буквы, "
                                          "цифры и знаки «+», «-», «.», в начале буква или цифра")
                               .arg(name);
    else if (name != name.toLower())
        verdict->warnings << QStringLiteral("имя пакета «%1» будет записано строчными буквами").arg(name);
    const QByteArray version = paragraph.raw(QStringLiteral("Version"));
    DebianVersion read;
    const Result parsed = parseDebianVersion(version, &read);
    if (!version.isEmpty() && parsed.failed())
        verdict->errors
            << QStringLiteral("версия «%1» не является версией Debian: %2").arg(shownValue(version), parsed.message);
}

// dpkg-deb only warns of an architecture name it cannot use, and then names
// the package file after it ("tool_1.0_i386 amd64.deb"): refused here.
void checkArchitecture(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    const QByteArray architecture = paragraph.raw(QStringLiteral("Architecture"));
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9-]*$"));
    if (!architecture.isEmpty() && !name.match(QString::fromUtf8(architecture)).hasMatch())
        verdict->errors << QStringLiteral("архитектура «%1» недопустима: нужно одно имя из латинских букв, цифр и "
                                          "«-», в начале буква или цифра (например, all или amd64)")
                               .arg(shownValue(architecture));
    const QByteArray multiArch = paragraph.raw(QStringLiteral("Multi-Arch"));
    if (!multiArch.isEmpty() && !isOneOf(multiArch, {"no", "same", "foreign", "allowed"}))
        verdict->errors << QStringLiteral("поле «Multi-Arch»: значение «%1» недопустимо, нужно no, same, foreign или "
                                          "allowed")
                               .arg(shownValue(multiArch));
    else if (sameFieldName(multiArch, "same") && architecture == "all")
        verdict->errors << QStringLiteral("«Multi-Arch: same» недопустимо у пакета с «Architecture: all»");
}

void checkFieldValues(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    static const QList<QByteArray> relationships = {"Depends",   "Pre-Depends", "Recommends", "Suggests", "Enhances",
                                                    "Conflicts", "Breaks",      "Replaces",   "Provides"};
    for (const ControlField &field : paragraph.fields) {
        const QString where = QStringLiteral("поле «%1»: ").arg(field.name);
        if (isOneOf(field.key, {"Essential", "Protected"}) && !field.raw.isEmpty()
            && !isOneOf(field.raw, {"yes", "no"})) {
            verdict->errors
                << where + QStringLiteral("значение «%1» недопустимо, нужно yes или no").arg(shownValue(field.raw));
        } else if (isOneOf(field.key, {"Status", "Config-Version", "Triggers-Pending", "Triggers-Awaited"})) {
            verdict->errors << where + QStringLiteral("его ведёт сам dpkg, в DEBIAN/control ему не место");
        } else if (isOneOf(field.key, {"Priority"}) && !field.raw.isEmpty()
                   && !isOneOf(field.raw, {"required", "important", "standard", "optional", "extra"})) {
            verdict->warnings << where
                                     + QStringLiteral("значение «%1» не из списка required, important, standard, "
                                                      "optional, extra")
                                           .arg(shownValue(field.raw));
        }
        QList<RelationGroup> groups;
        const bool relationship = std::any_of(relationships.begin(), relationships.end(),
                                              [&](const QByteArray &name) { return sameFieldName(field.key, name); });
        const Result parsed = relationship ? parseRelations(field.key, field.raw, &groups) : Result::done();
        if (parsed.failed())
            verdict->errors << where + parsed.message;
    }
}

// The Conffiles field of dpkg's own records: dpkg-deb reads it when given.
void checkConffilesField(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    const ControlField *field = paragraph.field(QStringLiteral("Conffiles"));
    if (!field)
        return;
    QList<QByteArray> lines = field->raw.split('\n');
    if (!lines.takeFirst().isEmpty())
        verdict->errors << QStringLiteral("поле «Conffiles»: файлы перечисляют со следующей строки, по одному с "
                                          "пробела в начале");
    for (const QByteArray &line : qAsConst(lines)) {
        const QByteArray entry = line.trimmed();
        const int blank = entry.indexOf(' ');
        if (blank < 0 || entry.left(blank) == "/")
            verdict->errors << QStringLiteral("поле «Conffiles»: строка «%1» не вида «/путь контрольная-сумма»")
                                   .arg(QString::fromUtf8(entry));
    }
}

void checkDescription(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    const ControlField *field = paragraph.field(QStringLiteral("Description"));
    if (!field)
        return;
    const QString &description = field->value;
    const QStringList lines = description.split(QLatin1Char('\n'));
    for (int i = 1; i < lines.size(); ++i) {
        // lintian counts each line with its leading blank.
        if (lines.at(i).size() + 1 > 80)
            verdict->warnings << lineText(field->line + i, QStringLiteral("строка подробного описания длиннее "
                                                                          "80 символов"));
    }
    const QString synopsis = description.section(QLatin1Char('\n'), 0, 0).trimmed();
    const QString name = paragraph.value(QStringLiteral("Package")).trimmed();
    if (synopsis.size() > 80)
        verdict->warnings << QStringLiteral("краткое описание длиннее 80 символов");
    if (!name.isEmpty()
        && QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(name) + QStringLiteral("\\b"),
                              QRegularExpression::CaseInsensitiveOption)
               .match(synopsis)
               .hasMatch())
        verdict->warnings << QStringLiteral("краткое описание начинается с имени пакета");
    if (!description.contains(QLatin1Char('\n'))) {
        verdict->warnings << QStringLiteral("нет подробного описания (строк после краткого описания)");
        return;
    }
    // lintian compares the two lines by their Latin letters and digits alone.
    static const QRegularExpression notLatin(QStringLiteral("[^a-z0-9]"));
    QString first = description.section(QLatin1Char('\n'), 1, 1).trimmed().toLower();
    if (first == synopsis.toLower() || first.remove(notLatin) == synopsis.toLower().remove(notLatin))
        verdict->warnings << QStringLiteral("первая строка подробного описания повторяет краткое описание "
                                            "(lintian сравнивает только латинские буквы и цифры)");
}

// What dpkg-deb refuses in one line of conffiles: "/path", or
// "remove-on-upgrade /path" for a file the package no longer ships.
Result checkConffileLine(const QString &workDir, const QByteArray &entry)
{
    if (entry.isEmpty())
        return Result::failure(QStringLiteral("пустая строка"));
    if (entry.trimmed().isEmpty())
        return Result::failure(QStringLiteral("строка из одних пробелов"));
    if (isControlSpace(entry.at(0)))
        return Result::failure(QStringLiteral("пробел в начале строки"));
    const int blank = entry.startsWith('/') ? -1 : entry.indexOf(' ');
    const QByteArray flag = blank < 0 ? QByteArray() : entry.left(blank);
    const QByteArray path = entry.mid(blank + 1);
    if (!path.startsWith('/'))
        return Result::failure(QStringLiteral("путь должен начинаться с «/»"));
    if (!flag.isEmpty() && flag != "remove-on-upgrade")
        return Result::failure(QStringLiteral("неизвестный признак «%1»: dpkg знает только remove-on-upgrade")
                                   .arg(QString::fromUtf8(flag)));
    const QString shown = QString::fromUtf8(path);
    struct stat status;
    const int error = ::lstat((QFile::encodeName(workDir) + path).constData(), &status) == 0 ? 0 : errno;
    if (error == 0 && !flag.isEmpty())
        return Result::failure(QStringLiteral("файл %1 есть в пакете, а строка велит удалить его при обновлении "
                                              "(remove-on-upgrade)")
                                   .arg(shown));
    if (error != 0 && error != ENOENT)
        return Result::failure(QStringLiteral("файл %1 недоступен: %2").arg(shown, systemError(error)));
    if (error != 0 && flag.isEmpty())
        return Result::failure(QStringLiteral("файла %1 нет в пакете").arg(shown));
    return Result::done();
}

QStringList conffilesProblems(const QString &workDir, const QByteArray &conffiles)
{
    QStringList problems;
    QList<QByteArray> lines = conffiles.split('\n');
    // The build adds a missing final line break, as it does to control.
    if (conffiles.endsWith('\n') || conffiles.isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        const Result checked = checkConffileLine(workDir, lines.at(i));
        if (checked.failed())
            problems << QStringLiteral("DEBIAN/conffiles, строка %1: ").arg(i + 1) + checked.message;
    }
    return problems;
}

} // namespace

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

ControlVerdict checkControlText(const QByteArray &text)
{
    // The build sets Installed-Size (and ends the last line) before dpkg-deb
    // reads the file; line numbers stay those of text.
    const ControlParagraph paragraph = parseControl(withInstalledSizeSet(text, 0));
    ControlVerdict verdict;
    verdict.errors = paragraph.errors;
    checkRequired(paragraph, &verdict);
    checkNameAndVersion(paragraph, &verdict);
    checkArchitecture(paragraph, &verdict);
    checkFieldValues(paragraph, &verdict);
    checkConffilesField(paragraph, &verdict);
    checkDescription(paragraph, &verdict);
    return verdict;
}

bool isValidPackageName(const QString &name)
{
    // Letters beyond ASCII are no letters to dpkg, even where they lowercase to one.
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9+.-]*$"));
    return pattern.match(name).hasMatch();
}

Result checkControlFiles(const QString &workDir)
{
    if (!QFileInfo(workDir).isDir())
        return Result::failure(QStringLiteral("Каталог %1 не найден").arg(workDir));
    const QString path = workDir + QStringLiteral("/DEBIAN/control");
    const QFileInfo info(path);
    if (!info.exists())
        return Result::failure(QStringLiteral("Файл DEBIAN/control не найден: откройте редактор файлов DEBIAN "
                                              "и заполните его"));
    QByteArray control;
    const Result read = readRegularFile(path, &control);
    if (read.failed())
        return read;
    ControlVerdict verdict = checkControlText(control);
    QByteArray conffiles;
    const Result listed = readConffiles(workDir + QStringLiteral("/DEBIAN"), &conffiles);
    if (listed.failed())
        return listed;
    verdict.errors << conffilesProblems(workDir, conffiles);
    Result result = verdict.errors.isEmpty() ? Result::done()
                                             : Result::failure(QStringLiteral("dpkg-deb не примет файлы DEBIAN:\n")
                                                               + verdict.errors.join(QLatin1Char('\n')));
    for (const QString &warning : verdict.warnings)
        result.warnings << QStringLiteral("DEBIAN/control: ") + warning;
    result.warnings << placeholderWarnings(QStringLiteral("DEBIAN/control"), control);
    const ControlParagraph paragraph = parseControl(control);
    const QString package = paragraph.value(QStringLiteral("Package")).trimmed().toLower();
    if (isValidPackageName(package))
        result.warnings << documentWarnings(workDir, package, paragraph.value(QStringLiteral("Version")).trimmed());
    return result;
}

Result checkStagedArchitecture(const ControlParagraph &paragraph, const QStringList &elfFiles)
{
    const QString architecture = paragraph.value(QStringLiteral("Architecture")).trimmed();
    if (architecture == QLatin1String("all") && !elfFiles.isEmpty()) {
        QStringList named;
        for (const QString &file : elfFiles.mid(0, 5))
            named << QLatin1Char('/') + file;
        if (elfFiles.size() > named.size())
            named << QStringLiteral("и ещё %1").arg(elfFiles.size() - named.size());
        return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: all», но в пакете есть программы и "
                                                "библиотеки ELF, которые работают только на своей архитектуре: "
                                                "укажите её (например, amd64):\n")
                                 + named.join(QLatin1Char('\n'))});
    }
    static const QRegularExpression nothingToRun(
        QStringLiteral("transitional package|meta[ -]?package|(?:dependency|dummy|empty) package"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression taskSection(QStringLiteral("(?:^|/)(?:tasks|metapackages)$"));
    if (architecture.isEmpty() || architecture == QLatin1String("all") || !elfFiles.isEmpty()
        || nothingToRun.match(paragraph.value(QStringLiteral("Description"))).hasMatch()
        || taskSection.match(paragraph.value(QStringLiteral("Section")).trimmed()).hasMatch())
        return Result::done();
    return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: %1», но в пакете нет программ и "
                                            "библиотек ELF, которые зависели бы от архитектуры: укажите "
                                            "«Architecture: all»")
                                 .arg(architecture)});
}

QStringList placeholderWarnings(const QString &file, const QByteArray &text)
{
    QStringList warnings;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        for (const QString &placeholder : templatePlaceholders()) {
            if (line.contains(placeholder, Qt::CaseInsensitive)) {
                warnings << QStringLiteral("%1: %2").arg(
                    file, lineText(i + 1, QStringLiteral("осталась заготовка шаблона «%1»").arg(placeholder)));
                break;
            }
        }
    }
    return warnings;
}

QStringList documentWarnings(const QString &workDir, const QString &package, const QString &version)
{
    QStringList warnings;
    const auto relative = [&workDir](const QString &path) { return path.mid(workDir.size() + 1); };
    QStringList files;
    const QString applications = applicationsSubdirectory() + QLatin1Char('/');
    for (const QString &shortcut :
         QDir(workDir + QLatin1Char('/') + applications).entryList({QStringLiteral("*.desktop")}, QDir::Files))
        files << workDir + QLatin1Char('/') + applications + shortcut;
    files << docDirectory(workDir, package) + QStringLiteral("/copyright");
    for (const QString &file : qAsConst(files)) {
        QByteArray text;
        if (QFileInfo::exists(file) && readRegularFile(file, &text).success)
            warnings << placeholderWarnings(relative(file), text);
    }
    const QString changelog = changelogPath(workDir, package, version);
    QByteArray text;
    QString top;
    if (!QFileInfo::exists(changelog))
        return warnings;
    const Result read = readChangelog(changelog, &text);
    if (read.failed())
        return warnings << read.message;
    warnings << placeholderWarnings(relative(changelog), text);
    if (changelogTopVersion(text, &top).success && top != version)
        warnings << relative(changelog)
                        + QStringLiteral(": версия последней записи %1, а в DEBIAN/control — %2: обновите changelog "
                                         "кнопкой документов пакета")
                              .arg(top, version);
    return warnings;
}
