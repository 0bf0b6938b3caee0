// The three editors never drop typed text without asking: closing, picking another entry or a button that replaces
// the text (clear, template) asks Save, Discard or Cancel; Ctrl+S saves; a replaced text comes back with Ctrl+Z.
#include "app/ui/bexlorwindow.h"
#include "common/paths.h"
#include "desktop/accessrights.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QComboBox>
#include <QLabel>
#include <QTextEdit>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::SaveAnswer)

class UnsavedEditsTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

private slots:
    void asksBeforeDropping_data()
    {
        QTest::addColumn<QString>("editor");
        // "close", "ctrl+s", "pick" (another entry of the list), or a button: "clean", "pushButtonTemplate"
        QTest::addColumn<QString>("action");
        QTest::addColumn<Dialogs::SaveAnswer>("answer");
        QTest::addColumn<bool>("open"); // the window afterwards
        QTest::addColumn<bool>("saved"); // the typed text on disk
        using A = Dialogs::SaveAnswer;
        for (const char *editor : {"debian", "shortcut", "access"}) {
            const bool closesOnSave = QByteArray(editor) == "shortcut";
            QTest::addRow("%s, close, cancel", editor) << editor << "close" << A::Cancel << true << false;
            QTest::addRow("%s, close, discard", editor) << editor << "close" << A::Discard << false << false;
            QTest::addRow("%s, close, save", editor) << editor << "close" << A::Save << false << true;
            QTest::addRow("%s, ctrl+s", editor) << editor << "ctrl+s" << A::Cancel << !closesOnSave << true;
        }
        for (const char *editor : {"debian", "shortcut"})
            QTest::addRow("%s, pick, cancel", editor) << editor << "pick" << A::Cancel << true << false;
        addRow("debian, clear, cancel", "debian", "clean", A::Cancel, true, false);
        addRow("access, clear, save", "access", "clean", A::Save, true, true);
        addRow("shortcut, template, discard", "shortcut", "pushButtonTemplate", A::Discard, true, false);
    }

    void asksBeforeDropping()
    {
        QFETCH(QString, editor);
        QFETCH(QString, action);
        QFETCH(Dialogs::SaveAnswer, answer);
        QFETCH(bool, open);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString work = dir.path() + "/пакет $x";
        writeFile(work + "/usr/share/applications/a.desktop", "[Desktop Entry]\n");
        writeFile(work + "/usr/share/applications/b.desktop", "[Desktop Entry]\nName=b\n");
        writeFile(work + "/DEBIAN/templates", "t\n");
        QVERIFY(QDir().mkpath(dataDirectoryPath()));
        FakeDialogs dialogs;
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        const QMap<QString, void (BexlorWindow::*)()> opens{{"debian", &BexlorWindow::editFiles},
                                                            {"shortcut", &BexlorWindow::createShortcut},
                                                            {"access", &BexlorWindow::editAccess}};
        (main.*opens[editor])();
        QWidget *window = main.newWindow;
        QVERIFY(window && window->isVisible());
        auto *text = window->findChild<QTextEdit *>();
        auto *list = window->findChild<QComboBox *>();
        const QString file = editor == "access"
                                 ? accessRightsPath("пакет $x")
                                 : window->findChild<QLabel *>("labelFolderValue")->text() + list->currentText();
        const QByteArray before = readFile(file);
        QVERIFY(!text->document()->isModified());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClicks(text, "typed");
        const QString typed = text->toPlainText();

        dialogs.saveAnswers.enqueue(answer);
        if (action == "close") {
            window->close();
        } else if (action == "ctrl+s") {
            QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
        } else if (action != "pick") {
            window->findChild<QAbstractButton *>(action)->click();
        } else {
            const QString shown = list->currentText();
            list->setCurrentIndex((list->currentIndex() + 1) % list->count());
            emit list->activated(list->currentIndex());
            QCOMPARE(list->currentText(), shown);
        }
        const QStringList boxes = dialogs.take();
        QCOMPARE(boxes.value(0).startsWith("save: Несохранённые изменения / "), action != "ctrl+s");
        QCOMPARE(boxes.contains("information: Выполнено! / Изменения сохранены!"), saved);
        QCOMPARE(window->isVisible(), open);
        const bool replaced = action.startsWith("clean") || action.startsWith("push");
        if (replaced
            && answer != Dialogs::SaveAnswer::Cancel) { // an edit: undone, the typed text is back, saved or not
            QVERIFY(text->toPlainText() != typed && text->document()->isModified());
            text->undo();
            QCOMPARE(text->document()->isModified(), !saved);
        }
        if (open)
            QCOMPARE(text->toPlainText(), typed);
        QCOMPARE(readFile(file), saved ? typed.toUtf8() : before);
    }
};

QTEST_MAIN(UnsavedEditsTest)
#include "tst_unsavededits.moc"
