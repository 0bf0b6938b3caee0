// The executable build through the real cython3 and gcc, in directories named with blanks, shell syntax, Cyrillic.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

class ExeBuildTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void builds_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("box"); // pattern of the one box shown
        QTest::addColumn<QString>("files"); // the project directory afterwards
        const QString done = "^information: Выполнено! / Команда сборки завершена.\n\nПредупреждения при сборке:";
        const QString error = "^critical: Ошибка / ", failed = error + "Ошибка при сборке ";
        QTest::newRow("dash") << "my-tool.py" << done << "my tool $x|my-tool.py|my_tool.c";
        QTest::newRow("syntax") << "my-tool.py" << failed + "файла .c:\n.*my_tool.py:2:0"
                                << "my-tool.py|my_tool.c";
        QTest::newRow("no runtime") << "tool.py" << failed + "бинарного файла:\n.*Python.h"
                                    << "tool.c|tool.py";
        QTest::newRow("user copy") << "my-tool.py" << error + ".*/my_tool.py"
                                   << "my-tool.py|my_tool.py";
        QTest::newRow("no cython3") << "my-tool.py" << error + "Непредвиденная ошибка:\n.*cython3"
                                    << "my-tool.py";
        QTest::newRow("leftover copy of a killed build") << "my-tool.py" << done << "my tool $x|my-tool.py|my_tool.c";
        QTest::newRow("C locale") << "my-tool.py" << done << "my tool $x|my-tool.py|my_tool.c";
        QTest::newRow("no output directory") << "my-tool.py"
                                             << error
                                                    + "Каталог для бинарного файла .*/missing не "
                                                      "найден или недоступен для записи$"
                                             << "my-tool.py";
    }

    void builds()
    {
        QFETCH(QString, script);
        QFETCH(QString, box);
        QFETCH(QString, files);
        const QString setup = QTest::currentDataTag();
        const QString project = root.path() + "/проект " + setup + " $(touch pwned); `id` 'q'";
        // Python 3 semantics show in the output: "a b 3.5", not a tuple and 3.
        writeFile(project + '/' + script, setup == "syntax" ? "x = (\n"
                                                            : "import sys\nprint(\"a\", \"b\", 7/2)\n"
                                                              "print(sys.argv[1:])\n");
        if (setup == "user copy")
            writeFile(project + "/my_tool.py", "# own\n");
        if (setup == "leftover copy of a killed build")
            QVERIFY(QFile::copy(project + '/' + script, project + "/my_tool.py"));
        BexlorWindow window;
        if (setup == "no runtime")
            window.ui->comboBoxSource->clear();
        window.ui->lineEditProjectDir->setText(project);
        window.ui->lineEditPy->setText(project + '/' + script);
        window.ui->labelOutputC->setText(project + '/' + QString(script).chopped(2).replace('-', '_') + 'c');
        window.ui->lineEditBinaryDir->setText(setup == "no output directory" ? project + "/missing" : project);
        window.ui->lineEditBinary->setText("my tool $x");
        const QByteArray locale = qgetenv("LC_ALL");
        if (setup == "no cython3")
            setToolForTesting("cython3", QString());
        qputenv("LC_ALL", setup == "C locale" ? "C" : locale);
        FakeDialogs dialogs;
        window.build();
        clearToolsForTesting();
        qputenv("LC_ALL", locale);

        const QString details = dialogs.shown.isEmpty() ? QString() : dialogs.last().details;
        const QStringList boxes = dialogs.take();
        QVERIFY2(boxes.size() == 1 && boxes.first().contains(QRegularExpression("(?s)" + box)),
                 qPrintable(boxes.join('\n')));
        QCOMPARE(QDir(project).entryList(QDir::Files | QDir::Hidden, QDir::Name).join('|'), files);
        QCOMPARE(readFile(project + "/my_tool.py"), QByteArray(setup == "user copy" ? "# own\n" : ""));
        if (box.startsWith("^information")) {
            const QString binary = project + "/my tool $x";
            const QString expected = runProcess("python3", {project + '/' + script, "$HOME; *", "ё"}).standardOutput;
            QCOMPARE(expected.left(11), QStringLiteral("a b 3.5\n['$"));
            QCOMPARE(runProcess(binary, {"$HOME; *", "ё"}).standardOutput, expected);
            // Ship-ready: stripped, linked with Debian's hardening, its runtime package named.
            const QString sections = runProcess("readelf", {"-S", "-d", "-l", binary}).standardOutput;
            QVERIFY2(!sections.contains(".symtab") && !sections.contains(".comment") && sections.contains("GNU_RELRO")
                         && sections.contains("BIND_NOW"),
                     qPrintable(sections));
            const QString package = runProcess("dpkg",
                                               {"-S", QFileInfo("/usr/lib/x86_64-linux-gnu/lib"
                                                                + window.ui->comboBoxSource->currentText() + ".so.1.0")
                                                          .canonicalFilePath()})
                                        .standardOutput.section(':', 0, 0);
            // The note ends the message; a box cut for its length has the whole of it in the details.
            const QString whole = details.isEmpty() ? boxes.first() : details;
            QVERIFY2(package.startsWith("libpython3")
                         && whole.endsWith("\n\nДля запуска нужен пакет " + package
                                           + ": добавьте его в поле Depends пакета."),
                     qPrintable(whole));
        }
    }
};

QTEST_MAIN(ExeBuildTest)
#include "tst_exebuild.moc"
