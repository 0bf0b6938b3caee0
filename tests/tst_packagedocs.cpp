// The package documents: each rule at the core function that decides it, with the real checkers (man,
// appstreamcli, dpkg-parsechangelog) as oracles; the main window's button for what it adds: its questions and boxes.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "package/docs/appstream.h"
#include "package/docs/changelog.h"
#include "package/docs/licences.h"
#include "package/docs/manpage.h"
#include "package/docs/templates.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QRandomGenerator>
#include <QtTest>

class PackageDocsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;

    static DocsFields fields(const QString &version)
    {
        DocsFields fields;
        const QByteArray control = "Package: my-tool\nVersion: " + version.toUtf8()
                                   + "\nMaintainer: Пётр «Ё» O'Neil <p@example.net>\nHomepage: https://example.org/\n"
                                     "Description: prints its arguments -- as JSON\n .starts with a dot\n \\back-slash "
                                     "'quote\n .\n <b>bold</b> & more\n";
        docsFieldsFrom(control, &fields);
        return fields;
    }

    // Runs helpOutput on a shell script with body; the elapsed milliseconds.
    qint64 help(const QString &body, QString *output)
    {
        const QString script = root.path() + "/help $x";
        writeFile(script, "#!/bin/sh\n" + body.toUtf8() + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
        QElapsedTimer timer;
        timer.start();
        *output = ::helpOutput(script);
        return timer.elapsed();
    }

private slots:
    void createsDocs_data()
    {
        QTest::addColumn<QByteArray>("control"); // empty: no control file
        QTest::addColumn<bool>("existing"); // a copyright file is there already
        QTest::addColumn<bool>("answer"); // to the question about replacing it
        QTest::addColumn<QStringList>("texts"); // the answers to the licence and id questions
        QTest::addColumn<QString>("box"); // the last box shown
        const QByteArray good = "Package: My-Tool\nVersion: 2:1.0~rc1-3\nArchitecture: all\n"
                                "Maintainer: Пётр Иванов <p@example.net>\nDescription: prints its arguments\n "
                                "Prints them as JSON.\n";
        const QString done = "information: Выполнено! / Документы пакета созданы:\n";
        const QStringList mit{"MIT"}, none;
        addRow("new", good, false, false, mit, done);
        addRow("replace: yes", good, true, true, mit, done);
        addRow("replace: no", good, true, false, none, done);
        addRow("no licence chosen", good, false, false, none, "input: Документы пакета / Лицензия программы");
        addRow("menu entry: the id asked", good, false, false, QStringList{"MIT", "org.example.my_tool"}, done);
        addRow("menu entry: no id", good, false, false, mit, "input: Документы пакета / Идентификатор программы");
        addRow("menu entry: a bad id", good, false, false, QStringList{"MIT", "my-tool"},
               "critical: Ошибка / Не удалось создать документы пакета:\nИдентификатор AppStream «my-tool» не в "
               "обратной записи домена");
        // A copyright file kept that cannot be read gives the menu entry's metainfo no licence: refused.
        addRow(
            "menu entry: copyright a link to nothing", good, false, false, QStringList{"org.example.my_tool"},
            "critical: Ошибка / Не удалось создать документы пакета:\nФайл {W}/usr/share/doc/my-tool/copyright не найден");
        addRow("no control", QByteArray(), false, false, mit, "critical: Ошибка / Файл DEBIAN/control не найден");
        addRow("no Maintainer", QByteArray("Package: t\nVersion: 1\n"), false, false, mit,
               "critical: Ошибка / В файле DEBIAN/control нет поля «Maintainer»");
        // Hostile work directories: nothing may be written outside it, nothing half-written.
        addRow("linked usr/share", good, false, false, mit,
               "critical: Ошибка / Не удалось создать документы пакета:\n{W}/usr/share - символическая ссылка");
        addRow("control a FIFO", good, false, false, mit,
               "critical: Ошибка / {W}/DEBIAN/control не является обычным файлом");
        addRow("dpkg-parsechangelog warns", good, false, false, mit,
               "critical: Ошибка / Не удалось создать документы пакета:\ndpkg-parsechangelog не принимает changelog, "
               "составленный по DEBIAN/control:\ndpkg-parsechangelog: warning: changelog.Debian(l1)");
    }

    void createsDocs()
    {
        QFETCH(QByteArray, control);
        QFETCH(bool, existing);
        QFETCH(bool, answer);
        QFETCH(QStringList, texts);
        QFETCH(QString, box);
        const QString work = root.path() + "/" + QTest::currentDataTag() + " $x 'q'/my-tool";
        const QString doc = work + "/usr/share/doc/my-tool/";
        QVERIFY(QDir().mkpath(work + "/DEBIAN"));
        if (!control.isEmpty())
            writeFile(work + "/DEBIAN/control", control);
        if (existing)
            writeFile(doc + "copyright", "old\n");
        const QString tag = QTest::currentDataTag(), outside = root.path() + "/" + tag + " outside";
        if (tag.startsWith("menu entry"))
            writeFile(work + "/usr/share/applications/my-tool.desktop", desktopTemplate("my-tool").toUtf8());
        if (tag.endsWith("link to nothing"))
            QVERIFY(QDir().mkpath(doc) && QFile::link(root.path() + "/nothing", doc + "copyright"));
        if (tag == "linked usr/share")
            QVERIFY(QDir().mkpath(outside) && QDir().mkpath(work + "/usr")
                    && QFile::link(outside, work + "/usr/share"));
        if (tag == "control a FIFO")
            QVERIFY(QFile::remove(work + "/DEBIAN/control")
                    && QProcess::execute("mkfifo", {work + "/DEBIAN/control"}) == 0);
        if (tag == "dpkg-parsechangelog warns") {
            writeFile(root.path() + "/parse", "#!/bin/sh\necho \"dpkg-parsechangelog: warning: $3(l1)\" >&2\n");
            QVERIFY(QFile::setPermissions(root.path() + "/parse", QFile::ReadOwner | QFile::ExeOwner));
            setToolForTesting("dpkg-parsechangelog", root.path() + "/parse");
        }
        const auto realTools = qScopeGuard([] { clearToolsForTesting(); });
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        dialogs.answers.enqueue(answer);
        dialogs.texts.append(texts);
        window.ui->pushButtonDocs->click();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.last().startsWith(box.replace("{W}", work)), qPrintable(shown.join('\n')));
        if (!box.startsWith("information")) {
            QVERIFY(entries(outside).isEmpty());
            QCOMPARE(readFile(doc + "copyright"), QByteArray(existing ? "old\n" : ""));
            QVERIFY(!QFileInfo::exists(doc + "changelog.Debian.gz"));
            return;
        }
        // Asked only for what is written: the licence with a new copyright file.
        QCOMPARE(shown.filter("input: Документы пакета / Лицензия").size(), existing && !answer ? 0 : 1);
        const QByteArray gz = readFile(doc + "changelog.Debian.gz");
        // gzip -9n: no name, no time stamp, maximum compression.
        QVERIFY(gz.size() > 10 && gz.at(3) == 0 && gz.mid(4, 4) == QByteArray(4, 0) && gz.at(8) == 2);
        writeFile(work + "/changelog", gunzipped(doc + "changelog.Debian.gz"));
        const ProcessResult parsed = runProcess("dpkg-parsechangelog", {"-l", work + "/changelog"});
        QVERIFY2(parsed.succeeded() && parsed.standardError.isEmpty(), qPrintable(parsed.standardError));
        for (const QString &line : QStringList{"Source: my-tool", "Version: 2:1.0~rc1-3", "Distribution: unstable",
                                               "Maintainer: Пётр Иванов <p@example.net>"})
            QVERIFY2(parsed.standardOutput.contains(line), qPrintable(parsed.standardOutput));
        const qint64 stamp =
            QRegularExpression("Timestamp: (\\d+)").match(parsed.standardOutput).captured(1).toLongLong();
        QVERIFY(qAbs(stamp - QDateTime::currentSecsSinceEpoch()) < 600);
        const QString copyright = readFile(doc + "copyright");
        QVERIFY2(existing && !answer
                     ? copyright == "old\n"
                     : copyright.startsWith("Format: https://www.debian.org/doc/packaging-manuals/"
                                            "copyright-format/1.0/\nUpstream-Name: my-tool\n"
                                            "Upstream-Contact: Пётр Иванов <p@example.net>\n")
                           && copyright.contains(QString("\nCopyright: %1 Пётр").arg(QDate::currentDate().year()))
                           && copyright.contains("\nLicense: Expat\n"),
                 qPrintable(copyright));
        QCOMPARE(readFile(work + "/usr/share/lintian/overrides/my-tool").split('\n').at(1),
                 QByteArray("my-tool: initial-upload-closes-no-bugs"));
        // Without a homepage, which the note names, AppStream 1.0 fails the metainfo on that alone.
        if (tag.startsWith("menu entry")) {
            QVERIFY2(shown.last().contains("\nВ DEBIAN/control нет поля Homepage: "), qPrintable(shown.last()));
            QCOMPARE(documentProblems(work + "/usr/share/metainfo/org.example.my_tool.metainfo.xml")
                         .remove("W: org.example.my_tool:~: url-homepage-missing"),
                     QString());
        }
    }

    // A seeded corpus of hostile help texts and descriptions: every page renders without a warning from man, as
    // lintian runs it, and shows each line of the help as the program wrote it.
    void manPageRenders()
    {
        const QStringList pieces{".",    "'",     "\\",      "-",       "--opt", "\"", "  ",    " ",
                                 "\\fB", ".TH x", "\x1b[1m", "\x1b[0m", "ё",     "Ж",  "$HOME", ";",
                                 "<a>",  "&",     "%",       "a",       "bb",    "\r", "\x01"};
        for (quint32 seed = 1; seed <= 40; ++seed) {
            QRandomGenerator random(seed);
            QStringList lines;
            for (int line = random.bounded(1, 8); line > 0; --line) {
                QString text;
                for (int piece = random.bounded(0, 10); piece > 0; --piece)
                    text += pieces.at(random.bounded(pieces.size()));
                lines << text;
            }
            DocsFields docs = fields("1.0-1");
            docs.synopsis = lines.first();
            const ProgramPage program{"my-tool" + lines.last().left(3).remove('/'), "usr/bin/x", "", 1};
            const QString page = root.path() + QString("/page %1.1").arg(seed);
            writeFile(page, manPageText(program, docs, lines.join('\n'), QDate(2024, 1, 2)));
            const ProcessResult man = runProcess("man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page});
            QVERIFY2(man.succeeded() && man.standardError.isEmpty(),
                     qPrintable(QString("seed %1: %2\n%3").arg(seed).arg(man.failureText(), readFile(page))));
            const ProcessResult shown = runProcess("man", {"-E", "UTF-8", "-l", page}, QString(), {"MANWIDTH=400"});
            for (QString line : qAsConst(lines)) {
                line.remove(QRegularExpression("\x1b\\[[0-9;]*m|[\\x00-\\x08\\x0a-\\x1f]"));
                QVERIFY2(shown.standardOutput.contains(line.trimmed()),
                         qPrintable(QString("seed %1: «%2» not in\n%3").arg(seed).arg(line, shown.standardOutput)));
            }
        }
    }

    // The whole page: its sections, and the checks lintian makes.
    void manPageSections()
    {
        const ProgramPage program{"my-tool", "usr/games/my-tool", "usr/share/man/man6/my-tool.6.gz", 6};
        const QString page = root.path() + "/my-tool.6";
        writeFile(page, manPageText(program, fields("1.0-1"), QString(), QDate(2024, 1, 2)));
        const ProcessResult whatis = runProcess("lexgrog", {page});
        QCOMPARE(whatis.standardOutput, page + ": \"my-tool - prints its arguments -- as JSON\"\n");
        const QString shown = runProcess("man", {"-E", "UTF-8", "-l", page}).standardOutput;
        for (const char *part :
             {"MY-TOOL(6)", "SYNOPSIS\n       my-tool [ПАРАМЕТРЫ]", "DESCRIPTION\n       .starts",
              "\\back-slash 'quote\n\n       <b>bold</b> & more", "AUTHOR\n       Пётр «Ё» O'Neil", "my-tool 1.0-1"}) {
            QVERIFY2(shown.contains(QString::fromUtf8(part)), qPrintable(part + QString("\n---\n") + shown));
        }
        QVERIFY2(!shown.contains("OPTIONS"), qPrintable(shown));
    }

    // The help goes into the page only as the program gives it within 2 s, in a private directory and HOME, with
    // no other environment and nothing on standard input; nothing it started is left running.
    void helpOutput_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("output"); // a regular expression matching all of it
        addRow("answers", QString("echo 'Usage: x [-h]'"), QString("Usage: x \\[-h\\]\n"));
        addRow("environment", QString("env | sort; pwd"), QString("HOME=(/\\S+)\nPWD=\\1\n\\1\n"));
        addRow("reads standard input", QString("cat; echo done"), QString("done\n"));
        addRow("fails", QString("echo usage; exit 1"), QString());
        addRow("hangs", QString("echo usage; exec sleep 31.25"), QString());
        addRow("leaves a child", QString("sleep 31.5 & echo usage"), QString("usage\n"));
    }

    void helpOutput()
    {
        QFETCH(QString, body);
        QFETCH(QString, output);
        QString printed;
        const qint64 elapsed = help(body, &printed);
        QVERIFY2(QRegularExpression("^" + output + "$").match(printed).hasMatch(), qPrintable(printed));
        QVERIFY(elapsed < 6000);
        if (output.contains("HOME")) // the directory is gone afterwards
            QVERIFY(!QFileInfo::exists(printed.section('\n', 0, 0).mid(5)));
        QTRY_VERIFY_WITH_TIMEOUT(processesWith("").filter(QRegularExpression("sleep 31\\.")).isEmpty(), 5000);
    }

    // Which programs get a page, where, and when one exists.
    void programPages()
    {
        const QString work = root.path() + "/programs";
        for (const char *file : {"usr/bin/tool", "usr/games/game", "usr/sbin/daemon", "usr/bin/documented",
                                 "usr/share/man/man8/documented.8.gz", "usr/bin/own", "usr/share/man/man1/own.1.gz",
                                 "usr/bin/dir/x", "usr/bin/ы b"})
            writeFile(work + "/" + file, "x");
        QVERIFY(QFile::link("tool", work + "/usr/bin/link"));
        QStringList found;
        for (const ProgramPage &page : ::programPages(work))
            found << page.executable + " " + page.page;
        QCOMPARE(found,
                 QStringList({"usr/bin/link usr/share/man/man1/link.1.gz", "usr/bin/own usr/share/man/man1/own.1.gz",
                              "usr/bin/tool usr/share/man/man1/tool.1.gz", "usr/bin/ы b usr/share/man/man1/ы b.1.gz",
                              "usr/games/game usr/share/man/man6/game.6.gz",
                              "usr/sbin/daemon usr/share/man/man8/daemon.8.gz"}));
    }

    // The changelog keeps its history: a newer control version adds an entry in front, byte for byte ahead of
    // the old ones, as dpkg-parsechangelog --all reads them.
    void updatesChangelog_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QString>("version"); // of the control file
        QTest::addColumn<int>("entries"); // afterwards; -1: refused; 0: unchanged
        QTest::addColumn<QString>("message");
        const QByteArray old = "my-tool (1.2~rc1-1) unstable; urgency=low\n\n  * Старое: \\ $x\r\n\n -- A <a@b.c>  "
                               "Mon, 01 Jan 2024 00:00:00 +0000\n";
        addRow("first", QByteArray(), QString("1.0-1"), 1, QString());
        addRow("newer", old, QString("1.2-1"), 2, QString());
        addRow("newer epoch", old, QString("1:0.9-1"), 2, QString());
        addRow("two older entries", QByteArray(old).replace("1.2~rc1-1", "1.3") + "\n" + old, QString("1.10"), 3,
               QString());
        addRow("same", old, QString("1.2~rc1-1"), 0, QString());
        addRow("older", old, QString("1.2~beta-1"), -1,
               QString("Версия 1.2~beta-1 в DEBIAN/control старше версии 1.2~rc1-1 последней записи"));
        addRow("no heading", QByteArray("\n") + old, QString("1.0"), -1,
               QString("Первая строка changelog не является заголовком"));
    }

    void updatesChangelog()
    {
        QFETCH(QByteArray, existing);
        QFETCH(QString, version);
        QFETCH(int, entries);
        QFETCH(QString, message);
        ChangelogUpdate update;
        const Result result = updateChangelog(existing, fields(version), QDateTime(QDate(2024, 2, 3), QTime(4, 5)),
                                              &update);
        QVERIFY2(result.success == (entries >= 0) && result.message.startsWith(message), qPrintable(result.message));
        if (entries < 0)
            return;
        QCOMPARE(update.changed, entries > 0);
        QVERIFY(update.text.endsWith(existing));
        QVERIFY(checkChangelog(update.text).success);
        const QString path = root.path() + "/changelog " + QTest::currentDataTag();
        writeFile(path, update.text);
        const ProcessResult parsed = runProcess("dpkg-parsechangelog", {"--all", "-l", path});
        QCOMPARE(parsed.standardOutput.count(QRegularExpression("\n my-tool \\(")), qMax(entries, 1));
        QCOMPARE(parsed.standardOutput.count("(" + version + ")"), 1);
        QString top;
        QVERIFY(changelogTopVersion(update.text, &top).success && top == version);
        if (entries > 1)
            QVERIFY(update.text.contains("  * " + changelogPlaceholder().toUtf8()));
    }

    // The component id, and metainfo made from hostile names that appstreamcli validates without a note.
    void metainfo_data()
    {
        QTest::addColumn<QString>("shortcut"); // its base name
        QTest::addColumn<QString>("homepage");
        QTest::addColumn<QString>("id"); // empty: the user is asked
        addRow("reverse-DNS shortcut", QString("org.example.tool"), QString(), QString("org.example.tool"));
        addRow("from the homepage", QString("my-tool"), QString("https://www.example.org/x"),
               QString("org.example.my_tool"));
        addRow("host with a port", QString("my-tool"), QString("http://Tools.Example.co.uk:8080/"),
               QString("uk.co.example.tools.my_tool"));
        addRow("two parts", QString("example.tool"), QString(), QString());
        addRow("host alone", QString("my-tool"), QString("https://localhost/"), QString());
    }

    void metainfo()
    {
        QFETCH(QString, shortcut);
        QFETCH(QString, homepage);
        QFETCH(QString, id);
        QCOMPARE(appStreamIdFor(shortcut, homepage, "my-tool"), id);
        if (id.isEmpty())
            return;
        MetainfoSource source{id, shortcut + ".desktop",
                              readShortcutNames("[Desktop Entry]\nName=A & <b>\nName[ru]=Ё \\s\"q\"\nComment[ru]=Ж\n"
                                                "[Other]\nComment=not this\n"),
                              spdxExpression("GPL-2+ or Artistic"), QDate(2024, 1, 2)};
        const QString path = root.path() + "/" + id + ".metainfo.xml";
        writeFile(path, metainfoText(source, fields("2:1.0~rc1-3")));
        QCOMPARE(documentProblems(path), QString());
        const QString text = readFile(path);
        for (const char *part : {"<name>A &amp; &lt;b&gt;</name>", "<name xml:lang=\"ru\">Ё  &quot;q&quot;</name>",
                                 "<summary>prints its arguments -- as JSON</summary>",
                                 "<project_license>GPL-2.0-or-later OR Artistic-1.0</project_license>",
                                 "<developer_name>Пётр «Ё» O'Neil</developer_name>", "<release version=\"1.0~rc1\""})
            QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(text));
    }

    // Every licence the copyright template offers comes back as its SPDX name from the file it writes, and the
    // file it points to exists; Debian's short names map to SPDX. The templates name the maintainer from
    // DEBFULLNAME and DEBEMAIL as dch reads them.
    void templates()
    {
        QCOMPARE(signerFrom(" Пётр ", "p@e.net"), QString("Пётр <p@e.net>"));
        QCOMPARE(signerFrom("", " Пётр Иванов <p@e.net> "), QString("Пётр Иванов <p@e.net>"));
        QCOMPARE(signerFrom("Пётр", ""), QString());
        QCOMPARE(maintainerFrom("", "p@e.net", "", "petr"), QString("petr <petr@example.org>"));
        DocsFields docs;
        QVERIFY(docsFieldsFrom("Package: t\nVersion: 1\nMaintainer: A <a@b.c>\n", &docs, "Пётр <p@e.net>").success);
        QVERIFY(changelogEntry(docs, "x", QDateTime::currentDateTime()).contains("\n -- Пётр <p@e.net>  "));
        // The fields go verbatim into one-line places of the documents: what would break them is refused.
        const QList<QPair<QByteArray, QString>> refused{
            {"Package: t\nVersion: 1\nMaintainer: A <a@b.c>\n", "DEBFULLNAME и DEBEMAIL недопустима"},
            {"Package: t\nMaintainer: a <a@b.c>\n", "нет поля «Version»"},
            {"Package: ../../t\nVersion: 1\nMaintainer: a <a@b.c>\n", "Имя пакета «../../t» в файле"},
            {"Package: t\nVersion: 1\nMaintainer: a <a@b.c>\n -- e <e@f.g>  Mon, 01 Jan 2024 00:00:00 +0000\n",
             "Поле «Maintainer» в файле DEBIAN/control занимает несколько строк"},
            {"Package: t\nVersion: 1.0) unstable; urgency=high\nMaintainer: a <a@b.c>\n",
             "Поле «Version» в файле DEBIAN/control недопустимо: «1.0) unstable; urgency=high»"},
            {"Package: t\nVersion: 1\nMaintainer: a\n", "Поле «Maintainer» в файле DEBIAN/control недопустимо"}};
        for (const auto &row : refused)
            QVERIFY2(docsFieldsFrom(row.first, &docs, "Пётр").message.contains(row.second), qPrintable(row.second));
        for (const QString &choice : licenceChoices()) {
            const QByteArray copyright = copyrightTemplate("t", "A <a@b.c>", 2024, choice).toUtf8();
            QCOMPARE(spdxExpression(filesLicence(copyright)), choice == otherLicence() ? QString() : choice);
            const QString common = QRegularExpression("/usr/share/common-licenses/[^\"]+").match(copyright).captured();
            QVERIFY2(common.isEmpty() || QFileInfo::exists(common), qPrintable(common));
        }
        QCOMPARE(spdxExpression("gpl-3+ And  BSD-3-clause"), QString("GPL-3.0-or-later AND BSD-3-Clause"));
        QCOMPARE(spdxExpression("Expat or public-domain"), QString());
        QCOMPARE(filesLicence("Files: debian/*\nLicense: MIT\n\nFiles: src/* *\nCopyright: x\nLicense: GPL-2+\n"),
                 QString("GPL-2+"));
    }
};

QTEST_MAIN(PackageDocsTest)
#include "tst_packagedocs.moc"
