#include "package/controlcheck.h"

#include "common/textfiles.h"
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {

QString lineText(int line, const QString &text)
{
    return QStringLiteral("строка %1: %2").arg(line).arg(text);
}

bool isBlank(const QByteArray &line)
{
    return line.trimmed().isEmpty();
}

bool isContinuation(const QByteArray &line)
{
    return line.startsWith(' ') || line.startsWith('\t');
}

// A field name dpkg accepts: no blanks, not starting with "-", two
// characters at least (every field dpkg knows has more).
bool isFieldName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[^\\s:-][^\\s:]+$"));
    return pattern.match(name).hasMatch();
}

bool allMatch(const QString &text, const QString &allowedPunctuation)
{
    for (const QChar c : text) {
        const bool alphanumeric = c.unicode() < 128 && c.isLetterOrNumber();
        if (!alphanumeric && !allowedPunctuation.contains(c))
            return false;
    }
    return true;
}

void checkRequired(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    for (const char *name : {"Package", "Version", "Architecture"}) {
        if (paragraph.value(QLatin1String(name)).trimmed().isEmpty())
            verdict->errors << QStringLiteral("нет поля «%1» или оно пустое").arg(QLatin1String(name));
    }
    for (const char *name : {"Maintainer", "Description"}) {
        if (!paragraph.has(QLatin1String(name)))
            verdict->warnings << QStringLiteral("нет поля «%1»").arg(QLatin1String(name));
    }
}

void checkNameAndVersion(const ControlParagraph &paragraph, ControlVerdict *verdict)
{
    const QString name = paragraph.value(QStringLiteral("Package")).trimmed();
    if (!name.isEmpty() && !isValidPackageName(name))
        verdict->errors << QStringLiteral("имя пакета «%1» недопустимо: нужны строчные латинские буквы, "
                                          "цифры и знаки «+», «-», «.», в начале буква или цифра")
                               .arg(name);
    else if (name != name.toLower())
        verdict->warnings << QStringLiteral("имя пакета «%1» будет записано строчными буквами").arg(name);
    const QString version = paragraph.value(QStringLiteral("Version")).trimmed();
    if (!version.isEmpty() && !isValidDebianVersion(version))
        verdict->errors << QStringLiteral("версия «%1» не является версией Debian: она должна начинаться с "
                                          "цифры и состоять из латинских букв, цифр и знаков «.+~-:»")
                               .arg(version);
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

// What dpkg-deb refuses in conffiles: blank lines, relative paths, and
// files missing from the tree.
QStringList conffilesProblems(const QString &workDir, const QByteArray &conffiles)
{
    QStringList problems;
    QList<QByteArray> lines = conffiles.split('\n');
    if (conffiles.endsWith('\n'))
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &entry = lines.at(i);
        const QString where = QStringLiteral("DEBIAN/conffiles, строка %1: ").arg(i + 1);
        struct stat status;
        // A file to be removed on upgrade is by definition not shipped.
        if (entry.startsWith("remove-on-upgrade "))
            continue;
        if (entry.isEmpty())
            problems << where + QStringLiteral("пустая строка");
        else if (!entry.startsWith('/'))
            problems << where + QStringLiteral("путь должен начинаться с «/»");
        else if (::lstat((QFile::encodeName(workDir) + entry).constData(), &status) != 0)
            problems << where + QStringLiteral("файла %1 нет в пакете").arg(QString::fromUtf8(entry));
    }
    return problems;
}

} // namespace

const ControlField *ControlParagraph::field(const QString &name) const
{
    for (const ControlField &field : fields) {
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return &field;
    }
    return nullptr;
}

QString ControlParagraph::value(const QString &name) const
{
    const ControlField *found = field(name);
    return found ? found->value : QString();
}

bool ControlParagraph::has(const QString &name) const
{
    return field(name) != nullptr;
}

ControlParagraph parseControl(const QByteArray &text)
{
    ControlParagraph paragraph;
    QList<QByteArray> lines = text.split('\n');
    if (text.endsWith('\n'))
        lines.removeLast();
    int endedAt = 0; // the empty line that ended the paragraph
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const int number = i + 1;
        if (line.isEmpty() || (isBlank(line) && (paragraph.fields.isEmpty() || endedAt))) {
            if (!paragraph.fields.isEmpty() && !endedAt)
                endedAt = number;
            continue;
        }
        if (endedAt) {
            paragraph.errors << lineText(
                endedAt, QStringLiteral("пустая строка внутри абзаца (после неё строка %1)").arg(number));
            endedAt = 0;
        }
        if (isBlank(line)) {
            paragraph.errors << lineText(number, QStringLiteral("строка из одних пробелов внутри абзаца"));
            continue;
        }
        if (isContinuation(line)) {
            if (paragraph.fields.isEmpty())
                paragraph.errors << lineText(number, QStringLiteral("строка продолжения без поля перед ней"));
            else
                paragraph.fields.last().value += QLatin1Char('\n') + QString::fromUtf8(line.mid(1)).trimmed();
            continue;
        }
        const int colon = line.indexOf(':');
        const QString name = QString::fromUtf8(line.left(colon));
        if (colon < 0 || !isFieldName(name)) {
            paragraph.errors << lineText(number, QStringLiteral("«%1» не является ни строкой «Поле: значение», "
                                                                "ни продолжением (строкой с пробелом в начале)")
                                                     .arg(QString::fromUtf8(line)));
            continue;
        }
        for (const ControlField &earlier : paragraph.fields) {
            if (earlier.name.compare(name, Qt::CaseInsensitive) == 0)
                paragraph.errors << lineText(
                    number, QStringLiteral("поле «%1» уже указано в строке %2").arg(name).arg(earlier.line));
        }
        paragraph.fields << ControlField{name, QString::fromUtf8(line.mid(colon + 1)).trimmed(), number};
    }
    return paragraph;
}

ControlVerdict checkControlText(const QByteArray &text)
{
    const ControlParagraph paragraph = parseControl(text);
    ControlVerdict verdict;
    verdict.errors = paragraph.errors;
    checkRequired(paragraph, &verdict);
    checkNameAndVersion(paragraph, &verdict);
    checkDescription(paragraph, &verdict);
    return verdict;
}

bool isValidPackageName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9][a-z0-9+.-]*$"));
    return pattern.match(name.toLower()).hasMatch();
}

bool isValidDebianVersion(const QString &version)
{
    QString rest = version;
    const int colon = rest.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString epoch = rest.left(colon);
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (!digits.match(epoch).hasMatch())
            return false;
        rest = rest.mid(colon + 1);
    }
    const int dash = rest.lastIndexOf(QLatin1Char('-'));
    const QString upstream = dash < 0 ? rest : rest.left(dash);
    const QString revision = dash < 0 ? QStringLiteral("0") : rest.mid(dash + 1);
    return !upstream.isEmpty() && upstream.at(0).isDigit() && upstream.at(0).unicode() < 128
           && allMatch(upstream, QStringLiteral(".+~-:")) && !revision.isEmpty()
           && allMatch(revision, QStringLiteral(".+~"));
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
    const QString conffilesPath = workDir + QStringLiteral("/DEBIAN/conffiles");
    QByteArray conffiles;
    if (QFileInfo::exists(conffilesPath)) {
        const Result listed = readRegularFile(conffilesPath, &conffiles);
        if (listed.failed())
            return listed;
        verdict.errors << conffilesProblems(workDir, conffiles);
    }
    Result result = verdict.errors.isEmpty() ? Result::done()
                                             : Result::failure(QStringLiteral("dpkg-deb не примет файлы DEBIAN:\n")
                                                               + verdict.errors.join(QLatin1Char('\n')));
    for (const QString &warning : verdict.warnings)
        result.warnings << QStringLiteral("DEBIAN/control: ") + warning;
    return result;
}
