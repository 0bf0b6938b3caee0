// The shortcut editor: opening it, listing, loading and saving .desktop files.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "desktop/ui/shortcutwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>
#include <QtWidgets>

using Handler = void (BexlorWindow::*)();
Q_DECLARE_METATYPE(Handler)

class ShortcutsTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    BexlorWindow main;

    shortcutWindow *open(const QString &workDir)
    {
        main.ui->lineEditProjectDir_2->setText(workDir);
        main.createShortcut();
        return qobject_cast<shortcutWindow *>(main.newWindow.data());
    }

private slots:
    // The template fills the text area only, and desktop-file-validate takes it.
    void templateValidates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("exec");
        addRow("plain", "mytool", "Exec=/usr/bin/mytool\n");
        addRow("hostile", "Мой tool $HOME; \"q\" `x` 100%\\",
               "Exec=\"/usr/bin/Мой tool \\\\$HOME; \\\\\"q\\\\\" \\\\`x\\\\` 100%%\\\\\\\\\"\n");
    }

    void templateValidates()
    {
        QFETCH(QString, name);
        QFETCH(QString, exec);
        FakeDialogs dialogs;
        QTemporaryDir base;
        shortcutWindow *window = open(base.path() + "/" + name);
        window->copyright.pushButtonTemplate->click();
        const QString text = window->textEditCopyright->toPlainText();
        QVERIFY2(text.contains(exec) && text.contains("\nIcon=" + name + "\n"), qPrintable(text));
        QVERIFY(QDir(base.path() + "/" + name + "/usr/share/applications").isEmpty());
        window->lineEditFileName->setText("app");
        window->saveShortcut();
        const QString file = base.path() + "/" + name + "/usr/share/applications/app.desktop";
        const ProcessResult validate = runProcess("desktop-file-validate", {file});
        QVERIFY2(validate.succeeded() && validate.standardOutput.isEmpty(), qPrintable(validate.standardOutput));
    }

    void fitsSmallScreen_data()
    {
        QTest::addColumn<Handler>("handler");
        addRow("shortcut editor", Handler(&BexlorWindow::createShortcut));
        addRow("DEBIAN editor", Handler(&BexlorWindow::editFiles));
        addRow("access rights", Handler(&BexlorWindow::editAccess));
        addRow("shortcut removal", Handler(&BexlorWindow::removeShotcut));
    }

    // The tool windows open on the screen (offscreen: 800x600) at the size they are shown with; the editors with every
    // row in sight, no horizontal scroll bar, also for a long path and a long file name.
    void fitsSmallScreen()
    {
        QFETCH(Handler, handler);
        FakeDialogs dialogs;
        QTemporaryDir base;
        // The removal window grows with its list to what still fits.
        const bool removal = handler == &BexlorWindow::removeShotcut;
        const QString work = base.path()
                             + (removal ? "/p"
                                        : "/очень длинный путь/к рабочему каталогу/проекта/мой-пакет-с-длинным-именем");
        writeFile(work + "/usr/share/applications/" + QString(removal ? 45 : 200, 'n') + ".desktop", "");
        writeFile(work + "/DEBIAN/" + QString(200, 'n'), "");
        main.ui->lineEditProjectDir_2->setText(work);
        main.show();
        (main.*handler)();
        QWidget *window = main.newWindow;
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->screen()->availableGeometry().size(), QSize(800, 600));
        const QRect frame = window->frameGeometry();
        QVERIFY2(
            window->screen()->availableGeometry().contains(frame),
            qPrintable(QString("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        auto *area = window->findChild<QScrollArea *>(); // the editors'
        QVERIFY(!area || !area->horizontalScrollBar()->isVisible());
        for (QWidget *row : area ? area->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)
                                 : QList<QWidget *>()) {
            const QRect shown(row->mapTo(area->viewport(), QPoint(0, 0)), row->size());
            QVERIFY2(area->viewport()->rect().contains(shown), qPrintable(row->objectName()));
        }
        window->close();
    }

    void saving_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("target"); // empty: the save fails
        addRow("typed name wins over the selected entry", "new", "new.desktop");
        addRow("extension typed is doubled", "app.desktop", "app.desktop.desktop");
        addRow("hostile name", "Мой 'x' $HOME; \"q\"", "Мой 'x' $HOME; \"q\".desktop");
        addRow("no name: selected entry overwritten", "", "old.desktop");
        addRow("name into a missing directory", "missing/app", "");
    }

    void saving()
    {
        QFETCH(QString, typed);
        QFETCH(QString, target);
        FakeDialogs dialogs;
        QTemporaryDir base;
        // A work directory that does not exist yet, with a hostile name.
        const QString workDir = base.path() + QStringLiteral("/new/Пакет 'x' \"y\" $HOME; ls/");
        const QString directory = workDir + QStringLiteral("/usr/share/applications/");
        shortcutWindow *window = open(workDir);
        // Text that looks like markup must save and load as it stands.
        const QString old = QStringLiteral("<b>Old</b> & <i>x</i>\n[Desktop Entry]\nExec=app %U && echo \"$HOME\"\n");
        window->textEditCopyright->setPlainText(old);
        window->saveShortcut();
        window->lineEditFileName->setText(QStringLiteral("old"));
        window->saveShortcut();
        const QString saved = QStringLiteral("information: Выполнено! / Изменения сохранены!");
        QCOMPARE(dialogs.take(), (QStringList{"critical: Ошибка / Необходимо указать имя файла", saved}));

        // Reopened, it lists the new file and shows it.
        window = open(workDir);
        QCOMPARE(window->textEditCopyright->toPlainText(), old);
        const QString text = old + QStringLiteral("Name=Новое\n");
        window->textEditCopyright->setPlainText(text);
        window->lineEditFileName->setText(typed);
        window->copyright.saveControl->click();
        const QStringList shown = dialogs.take();
        const QString expected = target.isEmpty() ? QStringLiteral("critical: Ошибка / ") : saved;
        QVERIFY2(shown.size() == 1 && shown.first().startsWith(expected), qPrintable(shown.join('\n')));
        // Closed after a save; a failed one keeps the window and its text.
        QCOMPARE(window->isVisible(), target.isEmpty());
        QCOMPARE(window->textEditCopyright->toPlainText(), text);
        QCOMPARE(readFile(directory + QStringLiteral("old.desktop")), (typed.isEmpty() ? text : old).toUtf8());
        QCOMPARE(readFile(directory + target), target.isEmpty() ? QByteArray() : text.toUtf8());
        QCOMPARE(QDir(directory).count(), target.isEmpty() || typed.isEmpty() ? 3u : 4u);
    }
};

QTEST_MAIN(ShortcutsTest)
#include "tst_shortcuts.moc"
