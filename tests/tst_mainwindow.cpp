// The main window's own handlers: pickers, name rules, clearing, runtime list, placement.
#include "app/ui/bexlorwindow.h"
#include "app/ui/translations.h"
#include "common/paths.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>
#include <QtWidgets>

class MainWindowTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

private slots:
    void standardButtonsReadRussian()
    {
        installQtTranslations(*QCoreApplication::instance());
        QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        for (const auto &[button, text] :
             {std::pair{QMessageBox::Yes, "Да"}, {QMessageBox::No, "Нет"}, {QMessageBox::Cancel, "Отмена"}})
            QCOMPARE(box.button(button)->text().remove('&'), QString::fromUtf8(text));
    }

    // Every button and labelled field is reachable by a mnemonic unique on its page, the tool buttons say what they
    // change, and Tab follows the rows.
    void keyboardAndHints()
    {
        BexlorWindow window;
        QWidget *profiles = window.ui->groupBoxProfiles;
        for (QWidget *page : {window.ui->tabExecutable, window.ui->tabPackage}) {
            QStringList keys;
            QList<QWidget *> widgets = page->findChildren<QWidget *>() + profiles->findChildren<QWidget *>();
            for (QWidget *widget : widgets) {
                QString text;
                if (auto *button = qobject_cast<QAbstractButton *>(widget))
                    text = button->text();
                else if (auto *label = qobject_cast<QLabel *>(widget); label && label->buddy())
                    text = label->text();
                else if (auto *label = qobject_cast<QLabel *>(widget);
                         label && label != window.ui->labelOutputC && label->objectName() != "label_labelOutputC")
                    QFAIL(qPrintable(label->objectName() + " has no buddy"));
                if (text.isEmpty())
                    continue;
                const int amp = text.indexOf('&');
                QVERIFY2(amp >= 0, qPrintable(text));
                keys << text.mid(amp + 1, 1).toLower();
            }
            QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
        }
        for (QPushButton *button : window.ui->groupBoxTools->findChildren<QPushButton *>()
                                       + QList<QPushButton *>{window.ui->pushButtonBuild, window.ui->pushButtonBuild_2})
            QVERIFY2(button->toolTip().size() > 40, qPrintable(button->objectName()));
        QStringList order;
        for (QWidget *widget = window.ui->lineEditProjectDir; order.size() < 15; widget = widget->nextInFocusChain())
            if (widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
        QCOMPARE(
            order.join(' '),
            QStringLiteral("lineEditProjectDir BrowseProjectDir lineEditPy browsePy "
                           "lineEditBinaryDir browseBinaryDir lineEditBinary comboBoxSource "
                           "comboBoxArchitecture comboBoxOptimise lineEditInclude lineEditExclude checkBoxBytecode "
                           "checkBoxReproducibleExe pushButtonBuild"));
    }

    void directoryPickers_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("parented");
        addRow("project", "BrowseProjectDir", "lineEditProjectDir", true);
        addRow("work", "BrowseProjectDir_2", "lineEditProjectDir_2", false);
        addRow("deb", "BrowseDebDir", "lineEditDebDir", false);
        addRow("binary", "browseBinaryDir", "lineEditBinaryDir", false);
    }

    void directoryPickers()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(bool, parented);
        BexlorWindow window;
        FakeDialogs dialogs;
        auto *edit = window.findChild<QLineEdit *>(field);
        const QString chosen = QStringLiteral("/tmp/каталог с пробелом/$x;'\"");
        dialogs.paths.enqueue(chosen);
        window.findChild<QPushButton *>(button)->click();
        QCOMPARE(edit->text(), chosen);
        QCOMPARE(dialogs.last().title, QStringLiteral("Выбрать каталог"));
        QCOMPARE(dialogs.last().parent, parented ? &window : nullptr);
        window.findChild<QPushButton *>(button)->click(); // cancelled: the field is emptied
        QCOMPARE(edit->text(), QString());
    }

    // The picked script fills its field and the C file label; the binary directory picker offers its name.
    void namesFromScript()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        window.ui->lineEditProjectDir->setText(QStringLiteral("/start here"));
        dialogs.paths.enqueue(QStringLiteral("/дом/мой скрипт-1.py"));
        window.ui->browsePy->click();
        QCOMPARE(window.ui->lineEditPy->text() + '|' + window.ui->labelOutputC->text(),
                 QStringLiteral("/дом/мой скрипт-1.py|/дом/мой скрипт_1.c"));
        QCOMPARE(dialogs.last().dir, QStringLiteral("/start here"));
        QCOMPARE(dialogs.last().filter, QStringLiteral("Файл (*.py)"));
        QCOMPARE(dialogs.take(), QStringList{"file: Выбрать файл / "});
        window.ui->lineEditBinary->setText(QStringLiteral("typed"));
        window.ui->browseBinaryDir->click();
        QCOMPARE(window.ui->lineEditBinary->text(), QStringLiteral("мой скрипт-1"));
    }

    void clearingButtons()
    {
        BexlorWindow window;
        window.ui->comboBoxSource->addItems({"python3.9", "python3.12"});
        window.ui->comboBoxSource->setCurrentIndex(1);
        const QList<QLineEdit *> first = {window.ui->lineEditProjectDir, window.ui->lineEditPy,
                                          window.ui->lineEditBinary, window.ui->lineEditBinaryDir},
                                 second = {window.ui->lineEditProjectDir_2, window.ui->lineEditDebDir};
        const auto texts = [](const QList<QLineEdit *> &edits) {
            QString all;
            for (QLineEdit *edit : edits)
                all += edit->text() + '|';
            return all;
        };
        for (QLineEdit *edit : first + second)
            edit->setText("x");
        window.ui->labelOutputC->setText("/p/x.c");
        window.ui->pushButtonClean->click();
        QCOMPARE(texts(first) + window.ui->labelOutputC->text() + texts(second), QString("||||x|x|"));
        QCOMPARE(window.ui->comboBoxSource->currentIndex(), 1);
        window.ui->lineEditPy->setText("y");
        window.ui->pushButtonClean_2->click();
        QCOMPARE(texts(second) + window.ui->lineEditPy->text(), QString("||y"));
    }

    // Centred at the size it is shown with, whatever the layout makes of the form's size.
    void centredWhenShown()
    {
        BexlorWindow window;
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), centredPosition(QApplication::desktop()->size(), window.size()));
    }

    void placement()
    {
        const QSize full(1920, 1080), small(800, 600);
        const struct
        {
            QSize desktop, window, tool; // no tool size: where the main window goes
            int dx, dy;
            QPoint expected;
        } cases[] = {{full, {800, 600}, {}, 0, 0, {560, 240}},
                     {full, {801, 601}, {}, 0, 0, {559, 239}},
                     {full, {1923, 1083}, {}, 0, 0, {-2, -2}}, // larger than the screen
                     {full, {800, 600}, {900, 480}, 50, -100, {610, 140}}, // shortcut editor
                     {full, {800, 600}, {400, 300}, 200, 50, {760, 290}}, // removal
                     {full, {1921, 1081}, {900, 480}, 0, -100, {0, 0}}, // kept on the screen
                     {small, {780, 482}, {764, 524}, 50, -100, {36, 0}},
                     {small, {780, 482}, {900, 700}, 0, -100, {0, 0}}};
        for (const auto &c : cases) {
            QCOMPARE(c.tool.isEmpty() ? centredPosition(c.desktop, c.window, c.dx, c.dy)
                                      : toolWindowPosition(c.desktop, c.window, c.tool, c.dx, c.dy),
                     c.expected);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
