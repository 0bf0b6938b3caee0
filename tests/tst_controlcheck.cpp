// The check of DEBIAN/control before a package build, with dpkg-deb as the oracle: for every control file
// both must refuse or both accept what the build hands dpkg-deb. Versions and relationships against dpkg.
#include "desktop/shortcuts.h"
#include "package/control/controlcheck.h"
#include "package/control/installedsize.h"
#include "package/control/relations.h"
#include "package/debbuild/shlibdeps.h"
#include "package/docs/changelog.h"
#include "package/docs/documentchecks.h"
#include "package/docs/gzipfiles.h"
#include "package/docs/licences.h"
#include "package/docs/templates.h"
#include "support/testenv.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

const QByteArray head = "Package: tool\nVersion: 1.0-1\nArchitecture: all\n";
const QByteArray maintainer = "Maintainer: Иван <ivan@example.org>\n";
const QByteArray good = head + maintainer + "Description: small tool\n Does one thing.\n";

// The valid files the random corpus starts from: every field dpkg reads, and the forms it allows.
const QList<QByteArray> seeds = {
    good,
    "Package: lib-x+y.z\nVersion: 2:1.0~rc1+dfsg-0.1\nArchitecture: amd64\nMulti-Arch: same\nPriority: optional\n"
    "Section: utils\nEssential: no\nProtected: yes\nPre-Depends: libc6 (>= 2.34)\n"
    "Depends: python3:any (>= 3.11), libgl1 | libgl1-mesa-glx,\n a (<< 2) | b (= 1:2-3)\nRecommends: x\n"
    "Suggests: y\nConflicts: old (<< 1.0)\nBreaks: z (<= 0.9)\nReplaces: old\nProvides: virtual (= 1.0)\n"
    "Enhances: e\nInstalled-Size: 12\n"
        + maintainer + "Description: d\n line\n .\n more\n",
    "\n\nPackage : tool\r\nversion:1\r\nARCHITECTURE:\tall\r\nX-Empty:\r\nDescription:\r\n first\r\n\n\n",
};

// A list written as one text, each item ended by ";".
QList<QByteArray> listOf(const char *items)
{
    QList<QByteArray> list = QByteArray(items).split(';');
    list.removeLast();
    return list;
}

// A control file from a seed with one or two random changes of the kinds users and editors make.
QByteArray mutated(QRandomGenerator &random)
{
    static const QList<QByteArray> values = listOf(
        "; ;yes;No;true;same;Foreign;bogus;all;i386 amd64;-x;a_b;Tool;1.0;a1;1:;:1;2147483647:1;2147483648:1;-1:1;"
        "+1:1;1.0-;1.0-a_b;1 2;1:1:1;x (>= 1);x (>= 1) | y;x,;,x;x |;x (>> 1;x (== 1);x (> 1);x (<> 1);x:any;x:;"
        "x:a_b;x [amd64];x <s>;X_Y;ß;x (1);x ();x (>= a1);x(>=1)|y;x (= 1));x, y | z (<< 2:1-1~);\n x;x\n y;"
        "x,\n y;x,\n\n;optional;OPTIONAL;extra;\n /etc/a 1;/etc/a 1;\n /etc/a;");
    static const QList<QByteArray> names = listOf(
        "Package;Version;Architecture;Depends;Pre-Depends;Recommends;Suggests;Conflicts;Breaks;Replaces;Provides;"
        "Enhances;Essential;Protected;Multi-Arch;Priority;Description;Status;Conffiles;Config-Version;"
        "Installed-Size;X;-X;X Y;#;package;Triggers-Awaited;");
    static const QList<QByteArray> lines = listOf(
        "; ;\t;\r;#c;# c; cont;X: y;XY: z;Status: x;installed-size: 1;Installed-Size : abc;Package: other;:;");
    static const QList<QByteArray> bytes = listOf(" ;\t;\r;\n;:;,;|;(;);-;~;\xff;\x1a;\xEF\xBB\xBF;")
                                           << QByteArray(1, '\0');
    const auto pick = [&](const QList<QByteArray> &list) { return list.at(random.bounded(list.size())); };
    QByteArray text = pick(seeds);
    for (int change = 1 + random.bounded(3) / 2; change > 0; --change) {
        QList<QByteArray> split = text.split('\n');
        const int at = random.bounded(split.size()), kind = random.bounded(9);
        QByteArray &line = split[at];
        const int colon = line.indexOf(':');
        if (kind < 3 && colon > 0) // another value, another name, the name in capitals or blanks before the colon
            line = kind == 0   ? line.left(colon + 1) + ' ' + pick(values)
                   : kind == 1 ? pick(names) + line.mid(colon)
                               : line.left(colon).toUpper() + (random.bounded(2) ? "" : " \t") + line.mid(colon);
        else if (kind == 3)
            line.insert(random.bounded(line.size() + 1), pick(bytes));
        else if (kind == 4)
            line.prepend(random.bounded(2) ? pick(lines) + '\n' : line + '\n');
        else if (kind == 5)
            line += '\n' + pick(names) + ": " + pick(values);
        else if (kind == 6)
            split.removeAt(at);
        else if (kind == 7)
            split.first().prepend("\xEF\xBB\xBF");
        else if (split.last().isEmpty() && random.bounded(2)) // the end of the file
            split.removeLast();
        else
            split.last() += random.bounded(2) ? " " : "\n";
        text = split.join('\n');
    }
    return text;
}

} // namespace

class ControlCheckTest : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

    // A tiny work directory holding control and an etc/tool.conf; conffiles only when given.
    QString workDir(const QString &name, const QByteArray &control, const QByteArray &conffiles = QByteArray())
    {
        const QString work = root.path() + "/" + name + " $x 'q'/tool";
        writeFile(work + "/DEBIAN/control", control);
        writeFile(work + "/etc/tool.conf", "x=1\n");
        QFile::remove(work + "/DEBIAN/conffiles");
        if (!conffiles.isNull())
            writeFile(work + "/DEBIAN/conffiles", conffiles);
        for (const char *directory : {"", "/DEBIAN", "/etc"})
            ::chmod(QFile::encodeName(work + directory).constData(), 0755);
        return work;
    }

    // Starts dpkg-deb on what the build hands it (control with Installed-Size set, conffiles with its last
    // line ended), in a tree of the slot's own, so that several can run at once.
    std::unique_ptr<QProcess> startDpkgDeb(const QByteArray &control, QByteArray conffiles, int slot = 0)
    {
        if (!conffiles.isEmpty() && !conffiles.endsWith('\n'))
            conffiles += '\n';
        const QString staged = workDir(QString("staged %1").arg(slot), withInstalledSizeSet(control, 1), conffiles);
        auto dpkg = std::make_unique<QProcess>();
        dpkg->start("dpkg-deb", {"-Znone", "--build", staged, staged + ".deb"});
        return dpkg;
    }

    static bool accepted(QProcess &dpkg)
    {
        return dpkg.waitForFinished() && dpkg.exitStatus() == QProcess::NormalExit && dpkg.exitCode() == 0;
    }

private slots:
    void agreesWithDpkgDeb_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<QByteArray>("conffiles");
        QTest::addColumn<QStringList>("problems"); // errors refuse; empty means accepted
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<bool>("stricter"); // refused, though dpkg-deb only warns
        const QStringList none;
        const QStringList unnamed{"нет поля «Maintainer»", "нет поля «Description»"};
        const auto row = [&](const char *tag, const QByteArray &control, const QStringList &problems,
                             const QStringList &warnings, const QByteArray &conffiles = QByteArray(),
                             bool stricter = false) {
            QTest::newRow(tag) << control << conffiles << problems << warnings << stricter;
        };
        // The paragraph's form.
        row("complete", good, none, none);
        row("CR LF, blank lines around", "\n\n" + QByteArray(good).replace("\n", "\r\n") + "\n\n", none, none);
        row("blanks before the colon, any case", "Package : tool\nversion\t:1\nARCHITECTURE:all\n", none, unnamed);
        row("blanks at the end", head + "  \n", none, unnamed);
        row("upper case name", "Package: Tool\nVersion: 1\nArchitecture: all\n", none,
            unnamed + QStringList{"имя пакета «Tool» будет записано строчными буквами"});
        row("empty line inside", "Package: tool\nVersion: 1\n\nArchitecture: all\n",
            {"строка 3: пустая строка внутри абзаца (после неё строка 4)"}, unnamed);
        row("blanks inside", head + "  \nX-Y: z\n", {"строка 4: строка из одних пробелов внутри абзаца"}, unnamed);
        row("blanks after the paragraph", head + "\n \t\nX-Y: z\n",
            {"строка 5: строка из одних пробелов там, где dpkg ждёт", "строка 4: пустая строка внутри абзаца"},
            unnamed);
        row("no field lines", head + "bogus line\n# comment\nX Y: z\n: z\n-X: z\nX: z\n",
            {"строка 4: «bogus line» не является ни строкой «Поле: значение»", "строка 5: «# comment» не является",
             "строка 6: «X Y: z»", "строка 7: «: z»", "строка 8: имя поля «-X» не может начинаться с «-»",
             "строка 9: имя поля «X» короче двух знаков"},
            unnamed);
        row("continuation first", " tool\n" + head, {"строка 1: строка продолжения без поля перед ней"}, unnamed);
        row("twice, other case", head + "package: other\n", {"строка 4: поле «package» уже указано в строке 1"},
            unnamed);
        row("byte order mark", "\xEF\xBB\xBF" + head,
            {"строка 1: файл начинается с метки порядка байтов UTF-8 (BOM)", "нет поля «Package» или оно пустое"},
            unnamed);
        row("NUL", head + QByteArray("X-Y: a\0b\n", 9), {"строка 4: нулевой байт"}, unnamed, QByteArray(), true);
        row("empty value at the end", head + "Installed-Size: 1\nPriority:\n",
            {"строка 5: у поля «Priority» нет значения, а за ним конец файла"}, unnamed);
        // The build rewrites Installed-Size under any spelling of its name, and adds none.
        row("installed-size in lower case", good + "installed-size: 5\n", none, none);
        row("Installed-Size with blanks", good + "Installed-Size : x\n y\n", none, none);
        // Package, Version, Architecture.
        for (const char *field : {"Package", "Version", "Architecture"})
            row(field, QByteArray(good).replace(QByteArray(field) + ':', "X-Gone:"),
                {QString("нет поля «%1» или оно пустое").arg(field)}, none);
        row("empty Version", "Package: tool\nVersion:\nArchitecture: all\n", {"нет поля «Version» или оно пустое"},
            unnamed);
        for (const char *name : {"my_tool", "-tool", "my tool", "утилита", "\xe2\x84\xaaool"})
            row(name, "Package: " + QByteArray(name) + "\nVersion: 1\nArchitecture: all\n",
                {QString("имя пакета «%1» недопустимо").arg(name)}, unnamed);
        for (const char *version : {"1.0-1~b+c", "0:1.0-1", "1:2:3", "1-2-3", "2.0~rc1", "+1:1", "2147483647:1"})
            row(version, "Package: tool\nVersion: " + QByteArray(version) + "\nArchitecture: all\n", none, unnamed);
        for (const char *version :
             {"a1", "1 2", "1:", "1.0-", "1_0", "1.0-1:2", "a:1", "1.0-a_b", "1.0ы", "2147483648:1", "-1:1"})
            row(version, "Package: tool\nVersion: " + QByteArray(version) + "\nArchitecture: all\n",
                {QString("версия «%1» не является версией Debian").arg(version)}, unnamed);
        row("version on the next line", "Package: tool\nVersion:\n 1\nArchitecture: all\n",
            {"версия «\\n 1» не является версией Debian: в версии есть пробелы"}, unnamed);
        for (const char *architecture : {"i386 amd64", "amd64,i386", "x_y"})
            row(architecture, "Package: tool\nVersion: 1\nArchitecture: " + QByteArray(architecture) + "\n",
                {QString("архитектура «%1» недопустима").arg(architecture)}, unnamed, QByteArray(), true);
        // The values of the fields dpkg reads.
        row("relationships",
            good
                + "Depends: a (>= 1) | B_2:any, c (<< 2:1-1~)\nPre-Depends: d (1)\nProvides: v "
                  "(= 1)\nBreaks: e (> 1)\nRecommends: f,\n g\n",
            none, none);
        for (const char *depends : {"a,", "a | | b", "a (== 1)", "a (>= 1", "a [amd64]", "a:x_y", "ß", "\n a"})
            row(depends, good + "Depends: " + depends + "\n", {"поле «Depends»: "}, none);
        row("field values", good + "Conflicts: a | b\nEssential: true\nMulti-Arch: bogus\nStatus: x\nConffiles: /x 1\n",
            {"поле «Conflicts»: альтернативы («|») здесь недопустимы",
             "поле «Essential»: значение «true» недопустимо, нужно yes или no",
             "поле «Multi-Arch»: значение «bogus» недопустимо", "поле «Status»: его ведёт сам dpkg",
             "поле «Conffiles»: файлы перечисляют со следующей строки"},
            none);
        row("Multi-Arch: same, all", good + "Multi-Arch: same\n", {"«Multi-Arch: same» недопустимо"}, none);
        row("Priority: bogus", good + "Priority: bogus\n", none,
            {"поле «Priority»: значение «bogus» не из списка required, important, standard, optional, extra"});
        // lintian's concerns are warnings.
        row("synopsis", head + maintainer + "Description: Tool " + QByteArray(80, 'x') + "\n", none,
            {"краткое описание длиннее 80 символов", "краткое описание начинается с имени пакета",
             "нет подробного описания"});
        row("extended repeats", head + maintainer + "Description: утилита 1\n Утилита, 1.\n", none,
            {"первая строка подробного описания повторяет краткое"});
        row("long extended line",
            head + maintainer + "Description: small utility\n " + QByteArray(79, 'x') + "\n "
                + QString(80, QChar(0x0436)).toUtf8() + "\n",
            none, {"строка 7: строка подробного описания длиннее 80 символов"});
        // conffiles.
        row("conffiles", good, none, none, "/etc/tool.conf\n");
        row("conffiles without its last line break", good, none, none, "/etc/tool.conf");
        row("conffiles, blank lines", good,
            {"DEBIAN/conffiles, строка 2: пустая строка", "DEBIAN/conffiles, строка 3: путь должен начинаться с «/»",
             "DEBIAN/conffiles, строка 4: пробел в начале строки", "DEBIAN/conffiles, строка 5: строка из одних"},
            none, "/etc/tool.conf\n\netc/tool.conf\n /etc/tool.conf\n \n");
        row("conffile missing", good, {"DEBIAN/conffiles, строка 2: файла /etc/нет.conf нет в пакете"}, none,
            "/etc/tool.conf\n/etc/нет.conf\n");
        row("conffile a directory", good, {"DEBIAN/conffiles, строка 2: /etc — каталог, а не файл"}, none,
            "/etc/tool.conf\n/etc\n", true);
        row("remove on upgrade", good, none, none, "remove-on-upgrade /etc/old.conf\n");
        row("remove on upgrade, shipped", good,
            {"DEBIAN/conffiles, строка 1: файл /etc/tool.conf есть в пакете, а строка велит удалить его"}, none,
            "remove-on-upgrade /etc/tool.conf\n");
        row("unknown flag", good, {"DEBIAN/conffiles, строка 1: неизвестный признак «obsolete»"}, none,
            "obsolete /etc/old.conf\n");
    }

    void agreesWithDpkgDeb()
    {
        QFETCH(QByteArray, control);
        QFETCH(QByteArray, conffiles);
        QFETCH(QStringList, problems);
        QFETCH(QStringList, warnings);
        QFETCH(bool, stricter);
        const Result result = checkControlFiles(workDir(QTest::currentDataTag(), control, conffiles));
        const std::unique_ptr<QProcess> dpkg = startDpkgDeb(control, conffiles);
        QVERIFY2(result.failed() == (stricter || !accepted(*dpkg)),
                 qPrintable(result.message + "\n---\n" + dpkg->readAllStandardError()));
        for (const QString &problem : problems)
            QVERIFY2(result.message.contains(problem), qPrintable(result.message));
        QVERIFY2(!result.message.contains(root.path()), qPrintable(result.message));
        QVERIFY2(result.message.count('\n') == (result.failed() ? problems.size() : 0), qPrintable(result.message));
        QVERIFY2(result.warnings.size() == warnings.size(), qPrintable(result.warnings.join('\n')));
        for (int i = 0; i < warnings.size(); ++i)
            QVERIFY2(result.warnings.at(i).startsWith("DEBIAN/control: " + warnings.at(i)),
                     qPrintable(result.warnings.join('\n')));
    }

    // The package's documents: placeholders left in them and a changelog of another version are named, file
    // and line, as warnings of the build.
    void documentWarnings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("warnings");
        const QString doc = "usr/share/doc/tool/", placeholder = ": строка %1: осталась заготовка шаблона «%2»";
        DocsFields fields;
        QVERIFY(docsFieldsFrom(good + "Maintainer: A <a@b.c>\n", &fields).success);
        const QDateTime time(QDate(2024, 1, 2), QTime(3, 4));
        addRow("control", QString("DEBIAN/control"),
               head + maintainer
                   + "Description: Короткое описание программы\n Она x: что программа делает и кому она "
                     "пригодится.\n",
               QStringList{"DEBIAN/control" + placeholder.arg(5).arg("короткое описание программы"),
                           "DEBIAN/control" + placeholder.arg(6).arg("что программа делает и кому она пригодится.")});
        addRow("shortcut", QString("usr/share/applications/t.desktop"), desktopTemplate("tool").toUtf8(),
               QStringList{"usr/share/applications/t.desktop" + placeholder.arg(4).arg("короткое описание программы")});
        addRow("copyright, other licence", doc + "copyright",
               copyrightTemplate("tool", "A <a@b.c>", 2024, "other").toUtf8(),
               QStringList{doc + "copyright" + placeholder.arg(7).arg("укажите-лицензию"),
                           doc + "copyright" + placeholder.arg(9).arg("укажите-лицензию"),
                           doc + "copyright" + placeholder.arg(10).arg(licencePlaceholders().last())});
        addRow("copyright, MIT", doc + "copyright", copyrightTemplate("tool", "A <a@b.c>", 2024, "MIT").toUtf8(),
               QStringList());
        addRow("changelog entry to fill in", doc + "changelog.Debian.gz",
               changelogEntry(fields, changelogPlaceholder(), time),
               QStringList{doc + "changelog.Debian.gz" + placeholder.arg(3).arg(changelogPlaceholder())});
        fields.version = "1.0~rc1-1";
        addRow("changelog of an older version", doc + "changelog.Debian.gz", changelogEntry(fields, "Готово.", time),
               QStringList{doc + "changelog.Debian.gz: версия последней записи 1.0~rc1-1, а в DEBIAN/control — 1.0-1"});
    }

    void documentWarnings()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, warnings);
        const QString work = workDir(QTest::currentDataTag(), good);
        if (file.endsWith(".gz"))
            QVERIFY(gzipCompressed(QByteArray(content), &content).success);
        writeFile(work + "/" + file, content);
        const QStringList found = ::documentWarnings(work, readFile(work + "/DEBIAN/control"));
        QVERIFY2(found.size() == warnings.size(), qPrintable(found.join('\n')));
        for (int i = 0; i < warnings.size(); ++i)
            QVERIFY2(found.at(i).startsWith(warnings.at(i)), qPrintable(found.join('\n')));
    }

    // A few hundred random variants of valid files: the check never passes what dpkg-deb refuses, and never
    // refuses a seed. What it refuses beyond dpkg-deb is listed.
    void randomCorpus()
    {
        QRandomGenerator random(20240616);
        for (const QByteArray &seed : seeds) {
            QVERIFY2(checkControlFiles(workDir("corpus", seed)).success, seed.constData());
            QVERIFY2(accepted(*startDpkgDeb(seed, QByteArray())), seed.constData());
        }
        QStringList passedRefused, stricter;
        const int cases = 400, together = 4;
        for (int i = 0; i < cases; i += together) {
            QList<QByteArray> controls;
            std::vector<std::unique_ptr<QProcess>> runs;
            for (int slot = 0; slot < together; ++slot) {
                controls << mutated(random);
                runs.push_back(startDpkgDeb(controls.last(), QByteArray(), slot));
            }
            for (int slot = 0; slot < together; ++slot) {
                const Result checked = checkControlFiles(workDir("corpus", controls.at(slot)));
                const bool dpkgAccepts = accepted(*runs.at(slot));
                const QString shown = QString::fromUtf8(controls.at(slot).toPercentEncoding(" :()|,<>=-+.~_/#"));
                if (checked.success && !dpkgAccepts)
                    passedRefused << shown + "\n  " + runs.at(slot)->readAllStandardError().trimmed();
                if (checked.failed() && dpkgAccepts)
                    stricter << shown + "\n  " + checked.message.section('\n', 1).replace('\n', "\n  ");
            }
        }
        qInfo("%d of %d refused though dpkg-deb accepts them:\n%s", int(stricter.size()), cases,
              qPrintable(stricter.join('\n')));
        QVERIFY2(passedRefused.isEmpty(), qPrintable(passedRefused.join('\n')));
    }

    // Debian's version order against dpkg --compare-versions on seeded random pairs, many sharing a prefix.
    void versionOrder()
    {
        QRandomGenerator random(1605);
        const QByteArray characters = "0123456789.+~abzAZ";
        const auto part = [&](int length) {
            QByteArray text;
            while (text.size() < length)
                text += characters.at(random.bounded(characters.size()));
            return text;
        };
        const auto version = [&] {
            QByteArray text = random.bounded(4) ? QByteArray() : QByteArray::number(random.bounded(3)) + ':';
            text += QByteArray::number(random.bounded(12)) + part(random.bounded(5));
            return random.bounded(2) ? text : text + '-' + part(random.bounded(1, 4));
        };
        QStringList wrong;
        for (int i = 0; i < 300; ++i) {
            const QByteArray a = version();
            const QByteArray b = random.bounded(2) ? version() : a.left(random.bounded(1, a.size() + 1)) + part(2);
            DebianVersion left, right;
            if (parseDebianVersion(a, &left).failed() || parseDebianVersion(b, &right).failed())
                continue;
            const int order = compareVersions(left, right);
            const char *relation = order < 0 ? "lt" : order > 0 ? "gt" : "eq";
            if (QProcess::execute("dpkg", {"--compare-versions", a, relation, b}) != 0)
                wrong << QString("%1 %2 %3").arg(a, relation, b);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }

    void dependsHints_data()
    {
        QTest::addColumn<QStringList>("needed"); // as dpkg-shlibdeps lists them
        QTest::addColumn<QByteArray>("depends");
        QTest::addColumn<QByteArray>("preDepends");
        QTest::addColumn<QString>("line"); // to paste; empty when nothing is missing
        const QStringList libc{"libc6 (>= 2.34)"};
        QTest::newRow("nothing declared") << libc << QByteArray() << QByteArray() << "Depends: libc6 (>= 2.34)";
        QTest::newRow("Pre-Depends gives it") << libc << QByteArray("python3") << QByteArray("libc6 (>= 2.34)") << "";
        QTest::newRow("newer declared") << libc << QByteArray("libc6 (>> 2.34)") << QByteArray() << "";
        QTest::newRow("older declared") << libc << QByteArray("python3, libc6 (>= 2.2)") << QByteArray()
                                        << "Depends: python3, libc6 (>= 2.34)";
        QTest::newRow("unversioned declared")
            << libc << QByteArray("libc6") << QByteArray() << "Depends: libc6 (>= 2.34)";
        QTest::newRow("declared alternatives give neither")
            << QStringList{"b"} << QByteArray("a | b, c") << QByteArray() << "Depends: c, b";
        QTest::newRow("needed alternatives, one declared")
            << QStringList{"libgl1 | libgl1-mesa-glx", "libx (>= 1:2)"} << QByteArray("libgl1-mesa-glx, libx (= 1:3)")
            << QByteArray() << "";
        QTest::newRow("epoch counts") << QStringList{"libx (>= 1:2)"} << QByteArray("libx (>= 3)") << QByteArray()
                                      << "Depends: libx (>= 1:2)";
        QTest::newRow("any architecture") << QStringList{"python3:any", "libx:i386"} << QByteArray("python3, libx")
                                          << QByteArray() << "Depends: python3, libx, libx:i386";
    }

    void dependsHints()
    {
        QFETCH(QStringList, needed);
        QFETCH(QByteArray, depends);
        QFETCH(QByteArray, preDepends);
        QFETCH(QString, line);
        const QStringList missing = missingEntries(needed, {depends, preDepends});
        QCOMPARE(missing.isEmpty() ? QString() : dependsLine(QString::fromUtf8(depends), missing), line);
    }
};

QTEST_GUILESS_MAIN(ControlCheckTest)
#include "tst_controlcheck.moc"
