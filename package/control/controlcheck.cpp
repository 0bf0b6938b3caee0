#include "package/control/controlcheck.h"

#include "common/filesystem.h"
#include "package/control/conffiles.h"
#include "package/control/installedsize.h"
#include "package/control/relations.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A value in a message, on one line.
QString shownValue(const QByteArray &raw)
{
    return QString::fromUtf8(raw).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

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

} // namespace

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

Result checkControlFiles(const QString &workDir, QByteArray *controlText)
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
    if (controlText)
        *controlText = control;
    return result;
}
