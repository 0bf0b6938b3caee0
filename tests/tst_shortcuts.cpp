// The shortcut editor: opening it on the applications directory, listing,
// loading, saving and clearing .desktop files.
#include "app/bexlorwindow.h"
#include "desktop/shortcutwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString saved = QStringLiteral("information: Выполнено! / Изменения сохранены!");
const QString applications = QStringLiteral("/usr/share/applications");

} // namespace

class ShortcutsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    std::unique_ptr<BexlorWindow> main;

    // Opens the editor through the main window's handler.
    shortcutWindow *open(const QString &workDir)
    {
        main->ui->lineEditProjectDir_2->setText(workDir);
        main->createShortcut();
        return qobject_cast<shortcutWindow *>(main->newWindow.data());
    }

    static QStringList listed(const shortcutWindow *window)
    {
        QStringList items;
        for (int i = 0; i < window->comboBox->count(); ++i)
            items << window->comboBox->itemText(i);
        return items;
    }

    // Lets the windows that closed themselves be deleted.
    static void deleteClosed()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase() { ::umask(022); }

    void init() { main = std::make_unique<BexlorWindow>(); }

    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (qobject_cast<shortcutWindow *>(window))
                window->close();
        main.reset();
        deleteClosed();
    }

    void emptyWorkDirectoryOpensNothing()
    {
        FakeDialogs dialogs;
        QCOMPARE(open(QString()), nullptr);
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("critical: Ошибка / Необходимо выбрать каталог")});
    }

    void createsApplicationsDirectory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "pkg";
        QTest::newRow("blanks, quotes, $ and ;") << "my 'pkg' \"x\" $HOME; ls";
        QTest::newRow("Cyrillic") << "Пакет";
        QTest::newRow("newline") << "two\nlines";
        QTest::newRow("trailing slash") << "pkg/";
    }

    void createsApplicationsDirectory()
    {
        QFETCH(QString, name);
        FakeDialogs dialogs;
        QTemporaryDir base;
        // The work directory does not exist yet.
        const QString workDir = base.path() + QStringLiteral("/new/") + name;
        shortcutWindow *window = open(workDir);
        QVERIFY(window);
        QVERIFY(dialogs.take().isEmpty());

        const QFileInfo directory(workDir + applications);
        QVERIFY(directory.isDir());
        QCOMPARE(directory.permissions() & 0x0777, QFile::Permissions(0x0755));
        QCOMPARE(window->labelFolderValue->text(), workDir + applications + QLatin1Char('/'));
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Создание/редактирование файла ярлыка"));
        QCOMPARE(window->minimumSize(), QSize(900, 480));
        QCOMPARE(window->maximumSize(), QSize(7680, 4320));
        QVERIFY(!window->isModal());
        QCOMPARE(window->comboBox->count(), 0);
        QVERIFY(window->textEditCopyright->toPlainText().isEmpty());
    }

    void applicationsDirectoryCannotBeMade()
    {
        FakeDialogs dialogs;
        QTemporaryDir base;
        writeFile(base.path() + QStringLiteral("/work/usr/share"), "a file");
        QCOMPARE(open(base.path() + QStringLiteral("/work")), nullptr);
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / Не удалось создать каталог")),
                 qPrintable(shown.first()));
    }

    void listsEveryEntryAndShowsTheFirst()
    {
        QTemporaryDir workDir;
        const QString directory = workDir.path() + applications;
        // Text that looks like markup is shown as it stands.
        const QByteArray markup = "<b>Bold</b> & <i>more</i>\n[Desktop Entry]\nName=Проба\n";
        writeFile(directory + QStringLiteral("/a.desktop"), markup);
        writeFile(directory + QStringLiteral("/.hidden"), markup);
        writeFile(directory + QStringLiteral("/notes.txt"), markup);
        QVERIFY(QDir().mkpath(directory + QStringLiteral("/sub")));
        shortcutWindow *window = open(workDir.path());
        QVERIFY(window);
        QStringList items = listed(window);
        items.sort();
        QCOMPARE(items, (QStringList{QStringLiteral(".hidden"), QStringLiteral("a.desktop"),
                                     QStringLiteral("notes.txt"), QStringLiteral("sub")}));
        QCOMPARE(window->comboBox->currentIndex(), 0);
        const bool firstIsDirectory = window->comboBox->currentText() == QLatin1String("sub");
        QCOMPARE(window->textEditCopyright->toPlainText(),
                 firstIsDirectory ? QString() : QString::fromUtf8(markup));
    }

    void choosingAnEntryLoadsIt_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("shown");
        QTest::newRow("file") << "b.desktop" << "[Desktop Entry]\nName=B\n";
        QTest::newRow("Windows line ends") << "crlf.desktop" << "[Desktop Entry]\nName=C\n";
        QTest::newRow("subdirectory") << "sub" << "";
        QTest::newRow("vanished") << "gone.desktop" << "";
    }

    void choosingAnEntryLoadsIt()
    {
        QFETCH(QString, entry);
        QFETCH(QString, shown);
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        const QString directory = workDir.path() + applications + QLatin1Char('/');
        writeFile(directory + QStringLiteral("b.desktop"), "[Desktop Entry]\nName=B\n");
        writeFile(directory + QStringLiteral("crlf.desktop"), "[Desktop Entry]\r\nName=C\r\n");
        writeFile(directory + QStringLiteral("gone.desktop"), "gone");
        QVERIFY(QDir().mkpath(directory + QStringLiteral("sub")));
        shortcutWindow *window = open(workDir.path());
        QVERIFY(window);
        QFile::remove(directory + QStringLiteral("gone.desktop"));
        window->textEditCopyright->setPlainText(QStringLiteral("typed before"));
        const int index = window->comboBox->findText(entry);
        window->comboBox->setCurrentIndex(index);
        emit window->comboBox->activated(index);
        QCOMPARE(window->textEditCopyright->toPlainText(), shown);
        QVERIFY(dialogs.take().isEmpty());
    }

    void saving_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("target");
        QTest::newRow("typed name wins over the selected entry") << "new" << "new.desktop";
        QTest::newRow("extension typed is doubled") << "app.desktop" << "app.desktop.desktop";
        QTest::newRow("hostile name") << "Мой ярлык 'x' $HOME; \"q\"" << "Мой ярлык 'x' $HOME; \"q\".desktop";
        QTest::newRow("no name: selected entry overwritten") << "" << "old.desktop";
    }

    void saving()
    {
        QFETCH(QString, typed);
        QFETCH(QString, target);
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        const QString directory = workDir.path() + applications + QLatin1Char('/');
        writeFile(directory + QStringLiteral("old.desktop"), "old text");
        QPointer<shortcutWindow> window = open(workDir.path());
        QVERIFY(window);
        QCOMPARE(window->textEditCopyright->toPlainText(), QStringLiteral("old text"));
        window->lineEditFileName->setText(typed);
        const QString text = QStringLiteral("<p>markup</p>\n[Desktop Entry]\nName=Новое\n");
        window->textEditCopyright->setPlainText(text);
        QTest::mouseClick(window->copyright.saveControl, Qt::LeftButton);

        QCOMPARE(dialogs.take(), QStringList{saved});
        QCOMPARE(readFile(directory + target), text.toUtf8());
        if (target != QLatin1String("old.desktop"))
            QCOMPARE(readFile(directory + QStringLiteral("old.desktop")), QByteArray("old text"));
        QCOMPARE(QDir(directory).count(), target == QLatin1String("old.desktop") ? 3u : 4u);
        QVERIFY(!window->isVisible());
        deleteClosed();
        QVERIFY(window.isNull());
    }

    void markupRoundTripsUnchanged()
    {
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        const QString path = workDir.path() + applications + QStringLiteral("/app.desktop");
        const QByteArray content = "<html><body><b>x</b></body></html>\n[Desktop Entry]\n"
                                   "Exec=app %U && echo \"$HOME\"\n\n";
        writeFile(path, content);
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x0750)));
        shortcutWindow *window = open(workDir.path());
        QVERIFY(window);
        window->saveShortcut();
        QCOMPARE(dialogs.take(), QStringList{saved});
        QCOMPARE(readFile(path), content);
        QCOMPARE(QFileInfo(path).permissions() & 0x0777, QFile::Permissions(0x0750));
    }

    void emptyTextTruncates()
    {
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        const QString path = workDir.path() + applications + QStringLiteral("/app.desktop");
        writeFile(path, "[Desktop Entry]\n");
        shortcutWindow *window = open(workDir.path());
        QVERIFY(window);
        QTest::mouseClick(window->copyright.clean, Qt::LeftButton);
        QVERIFY(window->textEditCopyright->toPlainText().isEmpty());
        QCOMPARE(readFile(path), QByteArray("[Desktop Entry]\n"));
        window->saveShortcut();
        QCOMPARE(dialogs.take(), QStringList{saved});
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void failedSaveKeepsWindowOpen_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no name, nothing listed") << "" << "" << "Необходимо указать имя файла";
        QTest::newRow("name into a missing directory")
            << "missing/app" << "" << "Не удалось записать файл";
        QTest::newRow("selected entry is a directory") << "" << "sub" << "Не удалось записать файл";
        QTest::newRow("name of a directory") << "dir" << "" << "Не удалось записать файл";
    }

    void failedSaveKeepsWindowOpen()
    {
        QFETCH(QString, typed);
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        const QString directory = workDir.path() + applications + QLatin1Char('/');
        if (!entry.isEmpty())
            QVERIFY(QDir().mkpath(directory + entry));
        QVERIFY(QDir().mkpath(directory + QStringLiteral("dir.desktop")));
        shortcutWindow *window = open(workDir.path());
        QVERIFY(window);
        window->comboBox->setCurrentIndex(window->comboBox->findText(entry));
        window->lineEditFileName->setText(typed);
        window->textEditCopyright->setPlainText(QStringLiteral("[Desktop Entry]\nName=Keep\n"));
        const QStringList before = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        window->saveShortcut();

        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / ") + expected),
                 qPrintable(shown.first()));
        QVERIFY(window->isVisible());
        QCOMPARE(window->textEditCopyright->toPlainText(), QStringLiteral("[Desktop Entry]\nName=Keep\n"));
        QCOMPARE(QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(QDir(directory + QStringLiteral("dir.desktop")).isEmpty());
    }

    void closeButtonClosesWithoutSaving()
    {
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        QPointer<shortcutWindow> window = open(workDir.path());
        QVERIFY(window);
        window->lineEditFileName->setText(QStringLiteral("unsaved"));
        QTest::mouseClick(window->copyright.closeControl, Qt::LeftButton);
        deleteClosed();
        QVERIFY(window.isNull());
        QVERIFY(QDir(workDir.path() + applications).isEmpty());
        QVERIFY(dialogs.take().isEmpty());
    }

    void reopeningListsSavedFilesAndEarlierWindowsStay()
    {
        FakeDialogs dialogs;
        QTemporaryDir workDir;
        QPointer<shortcutWindow> first = open(workDir.path());
        QPointer<shortcutWindow> second = open(workDir.path());
        QVERIFY(first && second && first != second);
        second->lineEditFileName->setText(QStringLiteral("app"));
        second->textEditCopyright->setPlainText(QStringLiteral("[Desktop Entry]\n"));
        second->saveShortcut();
        deleteClosed();
        QVERIFY(second.isNull());
        // The window opened earlier keeps its listing; a new one sees the file.
        QVERIFY(first->isVisible());
        QCOMPARE(first->comboBox->count(), 0);
        shortcutWindow *third = open(workDir.path());
        QCOMPARE(listed(third), QStringList{QStringLiteral("app.desktop")});
        QCOMPARE(third->textEditCopyright->toPlainText(), QStringLiteral("[Desktop Entry]\n"));
    }
};

QTEST_MAIN(ShortcutsTest)
#include "tst_shortcuts.moc"
