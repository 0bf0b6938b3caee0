// The check of DEBIAN/control before a package build, with dpkg-deb as the
// oracle: for every control file of the table both must refuse or both accept.
#include "common/processrunner.h"
#include "package/controlcheck.h"
#include "support/testenv.h"

#include <QtTest>

#include <sys/stat.h>

class ControlCheckTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root;

private slots:
    void agreesWithDpkgDeb_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<QByteArray>("conffiles");
        QTest::addColumn<QStringList>("problems"); // errors refuse; empty means accepted
        QTest::addColumn<QStringList>("warnings");
        const QByteArray head = "Package: tool\nVersion: 1.0-1\nArchitecture: all\n";
        const QByteArray maintainer = "Maintainer: Иван <ivan@example.org>\n";
        const QByteArray good = head + maintainer + "Description: small tool\n Does one thing.\n";
        const QStringList none;
        const QStringList unnamed{"нет поля «Maintainer»", "нет поля «Description»"};
        QTest::newRow("complete") << good << QByteArray() << none << none;
        QTest::newRow("CR LF, blank lines around") << "\n\n" + QByteArray(good).replace("\n", "\r\n") + "\n\n"
                                                   << QByteArray() << none << none;
        QTest::newRow("only the required") << head << QByteArray() << none << unnamed;
        QTest::newRow("upper case name") << QByteArray("Package: Tool\nVersion: 1\nArchitecture: all\n") << QByteArray()
                                         << none
                                         << unnamed + QStringList{"имя пакета «Tool» будет записано строчными буквами"};
        QTest::newRow("no Package") << QByteArray("Version: 1\nArchitecture: all\n") << QByteArray()
                                    << QStringList{"нет поля «Package» или оно пустое"} << unnamed;
        QTest::newRow("no Version") << QByteArray("Package: tool\nArchitecture: all\n") << QByteArray()
                                    << QStringList{"нет поля «Version» или оно пустое"} << unnamed;
        QTest::newRow("empty Version") << QByteArray("Package: tool\nVersion:\nArchitecture: all\n") << QByteArray()
                                       << QStringList{"нет поля «Version» или оно пустое"} << unnamed;
        QTest::newRow("no Architecture") << QByteArray("Package: tool\nVersion: 1\n") << QByteArray()
                                         << QStringList{"нет поля «Architecture» или оно пустое"} << unnamed;
        for (const char *name : {"my_tool", "-tool", "my tool", "утилита"})
            QTest::newRow(name) << "Package: " + QByteArray(name) + "\nVersion: 1\nArchitecture: all\n"
                                << QByteArray() << QStringList{QString("имя пакета «%1» недопустимо").arg(name)}
                                << unnamed;
        for (const char *version : {"1.0-1~b+c", "0:1.0-1", "1:2:3", "1-2-3", "2.0~rc1"})
            QTest::newRow(version) << "Package: tool\nVersion: " + QByteArray(version) + "\nArchitecture: all\n"
                                   << QByteArray() << none << unnamed;
        for (const char *version : {"a1", "1 2", "1:", "1.0-", "1_0", "1.0-1:2", "a:1", "1.0-a_b", "1.0ы"})
            QTest::newRow(version) << "Package: tool\nVersion: " + QByteArray(version) + "\nArchitecture: all\n"
                                   << QByteArray()
                                   << QStringList{QString("версия «%1» не является версией Debian").arg(version)}
                                   << unnamed;
        QTest::newRow("empty line inside")
            << QByteArray("Package: tool\nVersion: 1\n\nArchitecture: all\n") << QByteArray()
            << QStringList{"строка 3: пустая строка внутри абзаца (после неё строка 4)"} << unnamed;
        QTest::newRow("blanks inside") << head + "  \n"
                                       << QByteArray()
                                       << QStringList{"строка 4: строка из одних пробелов внутри абзаца"} << unnamed;
        QTest::newRow("no colon") << QByteArray("Package: tool\nVersion: 1\nbogus line\nArchitecture: all\n")
                                  << QByteArray()
                                  << QStringList{"строка 3: «bogus line» не является ни строкой «Поле: значение»"}
                                  << unnamed;
        QTest::newRow("comment") << head + "# comment\n"
                                 << QByteArray() << QStringList{"строка 4: «# comment» не является"} << unnamed;
        QTest::newRow("blank in name") << head + "X Y: z\n"
                                       << QByteArray() << QStringList{"строка 4: «X Y: z»"} << unnamed;
        QTest::newRow("hyphen first") << head + "-X: z\n"
                                      << QByteArray() << QStringList{"строка 4: «-X: z»"} << unnamed;
        QTest::newRow("no name") << head + ": z\n" << QByteArray() << QStringList{"строка 4: «: z»"} << unnamed;
        QTest::newRow("continuation first")
            << " tool\n" + head << QByteArray() << QStringList{"строка 1: строка продолжения без поля перед ней"}
            << unnamed;
        QTest::newRow("twice, other case")
            << head + "package: other\n"
            << QByteArray() << QStringList{"строка 4: поле «package» уже указано в строке 1"} << unnamed;
        QTest::newRow("Depends twice") << good + "Depends: a\nDepends: b\n"
                                       << QByteArray() << QStringList{"строка 8: поле «Depends» уже указано в строке 7"}
                                       << none;
        QTest::newRow("all at once") << QByteArray(
            "Package: my_tool\nVersion: x1\n\nArchitecture: all\nArchitecture: all\n")
                                     << QByteArray()
                                     << QStringList{"строка 3: пустая строка", "строка 5: поле «Architecture» уже",
                                                    "имя пакета «my_tool»", "версия «x1»"}
                                     << unnamed;
        QTest::newRow("synopsis") << head + maintainer + "Description: Tool " + QByteArray(80, 'x') + "\n"
                                  << QByteArray() << none
                                  << QStringList{"краткое описание длиннее 80 символов",
                                                 "краткое описание начинается с имени пакета",
                                                 "нет подробного описания"};
        QTest::newRow("extended repeats")
            << head + maintainer + "Description: утилита 1\n Утилита, 1.\n"
            << QByteArray() << none << QStringList{"первая строка подробного описания повторяет краткое"};
        QTest::newRow("long extended line")
            << head + maintainer + "Description: small utility\n " + QByteArray(79, 'x') + "\n "
                   + QString(80, QChar(0x0436)).toUtf8() + "\n"
            << QByteArray() << none << QStringList{"строка 7: строка подробного описания длиннее 80 символов"};
        QTest::newRow("conffiles") << good << QByteArray("/etc/tool.conf\n") << none << none;
        QTest::newRow("conffiles, blank line")
            << good << QByteArray("/etc/tool.conf\n\netc/tool.conf\n")
            << QStringList{"DEBIAN/conffiles, строка 2: пустая строка",
                           "DEBIAN/conffiles, строка 3: путь должен начинаться с «/»"}
            << none;
        QTest::newRow("conffile missing")
            << good << QByteArray("/etc/tool.conf\n/etc/нет.conf\n")
            << QStringList{"DEBIAN/conffiles, строка 2: файла /etc/нет.conf нет в пакете"} << none;
        QTest::newRow("remove on upgrade") << good << QByteArray("remove-on-upgrade /etc/old.conf\n") << none << none;
    }

    void agreesWithDpkgDeb()
    {
        QFETCH(QByteArray, control);
        QFETCH(QByteArray, conffiles);
        QFETCH(QStringList, problems);
        QFETCH(QStringList, warnings);
        const QString work = root.path() + "/" + QTest::currentDataTag() + " $x 'q'/tool";
        writeFile(work + "/DEBIAN/control", control);
        writeFile(work + "/etc/tool.conf", "x=1\n");
        if (!conffiles.isEmpty())
            writeFile(work + "/DEBIAN/conffiles", conffiles);
        for (const char *directory : {"", "/DEBIAN", "/etc"})
            QVERIFY(::chmod(QFile::encodeName(work + directory).constData(), 0755) == 0);

        const Result result = checkControlFiles(work);
        const QStringList notes = result.warnings;
        const ProcessResult dpkg = runProcess("dpkg-deb", {"--build", work, root.path() + "/out.deb"});
        QVERIFY(dpkg.started);
        QVERIFY2(result.failed() == !dpkg.succeeded(), qPrintable(result.message + "\n---\n" + dpkg.standardError));
        for (const QString &problem : problems)
            QVERIFY2(result.message.contains(problem), qPrintable(result.message));
        QCOMPARE(result.message.count('\n'), result.failed() ? problems.size() : -1 + 1);
        QCOMPARE(notes.size(), warnings.size());
        for (int i = 0; i < warnings.size(); ++i)
            QVERIFY2(notes.at(i).startsWith("DEBIAN/control: " + warnings.at(i)), qPrintable(notes.join('\n')));
    }
};

QTEST_GUILESS_MAIN(ControlCheckTest)
#include "tst_controlcheck.moc"
