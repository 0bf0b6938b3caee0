// The main window's own handlers: pickers, name rules, clearing, runtime list.
#include "app/bexlorwindow.h"
#include "exebuild/scriptnames.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QDir>
#include <QtTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

private slots:
    void directoryPickers_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("parented");
        QTest::newRow("project") << "BrowseProjectDir" << "lineEditProjectDir" << true;
        QTest::newRow("work") << "BrowseProjectDir_2" << "lineEditProjectDir_2" << false;
        QTest::newRow("deb") << "BrowseDebDir" << "lineEditDebDir" << false;
        QTest::newRow("binary") << "browseBinaryDir" << "lineEditBinaryDir" << false;
    }

    void directoryPickers()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(bool, parented);
        BexlorWindow window;
        FakeDialogs dialogs;
        auto *edit = window.findChild<QLineEdit *>(field);
        auto *push = window.findChild<QPushButton *>(button);
        QVERIFY(edit && push);

        const QString chosen = QStringLiteral("/tmp/каталог с пробелом/$x;'\"");
        dialogs.paths.enqueue(chosen);
        push->click();
        QCOMPARE(edit->text(), chosen);
        QCOMPARE(dialogs.last().title, QStringLiteral("Выбрать каталог"));
        QCOMPARE(dialogs.last().parent, parented ? &window : nullptr);

        // A cancelled dialog empties the field.
        push->click();
        QCOMPARE(edit->text(), QString());
    }

    void binaryNameFromScript_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("binary");
        QTest::newRow("dashes kept") << "/home/u/proj/my-app.py" << "my-app";
        QTest::newRow("pyw keeps a point") << "/home/u/proj/prog.pyw" << "prog.";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("three characters") << "a.p" << "";
        QTest::newRow("four characters") << "b.py" << "b";
        QTest::newRow("trailing slash") << "/home/u/proj/" << "";
        QTest::newRow("cyrillic") << "/дом/скрипт.py" << "скрипт";
    }

    void binaryNameFromScript()
    {
        QFETCH(QString, script);
        QFETCH(QString, binary);
        BexlorWindow window;
        FakeDialogs dialogs;
        window.ui->lineEditPy->setText(script);
        window.ui->lineEditBinary->setText(QStringLiteral("typed"));
        window.selectBinaryDir();
        QCOMPARE(window.ui->lineEditBinary->text(), binary);
    }

    void scriptPicker_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("cFile");
        QTest::addColumn<QString>("workingCopy");
        QTest::newRow("dash") << "/home/u/proj/my-tool.py" << "/home/u/proj/my_tool.c" << "/home/u/proj/my_tool.py";
        QTest::newRow("several dashes") << "/p/a-b-c.py" << "/p/a_b_c.c" << "/p/a_b_c.py";
        QTest::newRow("no dash") << "/p/tool.py" << "/p/tool.c" << "/p/tool.py";
        QTest::newRow("dash in directory kept") << "/my-dir/x-y.py" << "/my-dir/x_y.c" << "/my-dir/x_y.py";
        QTest::newRow("cancelled") << "" << "c" << "";
        QTest::newRow("blanks and cyrillic") << "/дом/мой скрипт-1.py" << "/дом/мой скрипт_1.c" << "/дом/мой скрипт_1.py";
    }

    void scriptPicker()
    {
        QFETCH(QString, script);
        QFETCH(QString, cFile);
        QFETCH(QString, workingCopy);
        BexlorWindow window;
        FakeDialogs dialogs;
        window.ui->lineEditProjectDir->setText(QStringLiteral("/start here"));
        dialogs.paths.enqueue(script);
        window.ui->browsePy->click();
        QCOMPARE(window.ui->lineEditPy->text(), script);
        QCOMPARE(window.ui->labelOutputC->text(), cFile);
        QCOMPARE(scriptNames(script).workingCopy, workingCopy);
        QCOMPARE(dialogs.last().kind, QStringLiteral("file"));
        QCOMPARE(dialogs.last().title, QStringLiteral("Выбрать файл"));
        QCOMPARE(dialogs.last().dir, QStringLiteral("/start here"));
        QCOMPARE(dialogs.last().filter, QStringLiteral("Файл (*.py)"));
        QCOMPARE(dialogs.last().parent, nullptr);
    }

    void clearingButtons()
    {
        BexlorWindow window;
        window.ui->comboBoxSource->clear();
        window.ui->comboBoxSource->addItems({QStringLiteral("python3.9"), QStringLiteral("python3.11")});
        window.ui->comboBoxSource->setCurrentIndex(1);
        const QList<QLineEdit *> first = {window.ui->lineEditProjectDir, window.ui->lineEditPy,
                                          window.ui->lineEditBinary, window.ui->lineEditBinaryDir};
        const QList<QLineEdit *> second = {window.ui->lineEditProjectDir_2, window.ui->lineEditDebDir};
        for (QLineEdit *edit : first + second)
            edit->setText(QStringLiteral("x"));
        window.ui->labelOutputC->setText(QStringLiteral("/p/x.c"));

        window.ui->pushButtonClean->click();
        for (QLineEdit *edit : first)
            QCOMPARE(edit->text(), QString());
        QCOMPARE(window.ui->labelOutputC->text(), QString());
        QCOMPARE(window.ui->comboBoxSource->currentIndex(), 1);
        for (QLineEdit *edit : second)
            QCOMPARE(edit->text(), QStringLiteral("x"));

        for (QLineEdit *edit : first)
            edit->setText(QStringLiteral("y"));
        window.ui->pushButtonClean_2->click();
        for (QLineEdit *edit : second)
            QCOMPARE(edit->text(), QString());
        for (QLineEdit *edit : first)
            QCOMPARE(edit->text(), QStringLiteral("y"));
    }

    void runtimeNames_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("python entries only")
            << QStringList{"python3.7", "openssl", "Python3", "python3.7m", "pythonic"}
            << QStringList{"python3.7", "python3.7m", "pythonic"};
        QTest::newRow("none") << QStringList{"openssl", "pytho"} << QStringList{};
    }

    void runtimeNames()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        QTemporaryDir include;
        for (const QString &entry : entries)
            QVERIFY(QDir(include.path()).mkdir(entry));
        QStringList found = ::runtimeNames(include.path() + QLatin1Char('/'));
        // Listing order is the file system's; compare as sets plus the count.
        QCOMPARE(found.size(), expected.size());
        found.sort();
        QCOMPARE(found, expected);
    }

    void runtimeNamesOfMissingDirectory()
    {
        QCOMPARE(::runtimeNames(QStringLiteral("/nonexistent/include/")), QStringList());
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/file"), "x");
        QCOMPARE(::runtimeNames(dir.path() + QStringLiteral("/file/")), QStringList());
    }

    void closeButtonsHideTheWindow()
    {
        BexlorWindow window;
        window.show();
        window.ui->pushButtonClose_2->click();
        QVERIFY(!window.isVisible());
        window.show();
        window.ui->pushButtonClose->click();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
