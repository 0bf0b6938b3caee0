// The removal window, opened on the DEBIAN directory and on the shortcuts.
#include "app/bexlorwindow.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "package/removecontroltwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

#include <unistd.h>

namespace {
const QString removeAll = QStringLiteral("УДАЛИТЬ ВСЕ ФАЙЛЫ");
const QString removeAllQuestion = QStringLiteral(
    "question: Удаление файла / Будут удалены все файлы вместе с рабочим каталогом.\n"
    "Действительно это сделать?");
const QString removedAll = QStringLiteral("information: Выполнено! / Катлалог и файлы удалены!");

QStringList items(const removeControltWindow *window)
{
    QStringList names;
    for (int i = 0; i < window->delete_.comboBox->count(); ++i)
        names << window->delete_.comboBox->itemText(i);
    return names;
}

void link(const QString &target, const QString &path)
{
    QVERIFY2(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
             qPrintable(path));
}
} // namespace

class RemovalTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BexlorWindow> m_main;

    QString workDir() const { return m_dir->path() + QStringLiteral("/мой пакет $x;'q\""); }
    QString debian() const { return workDir() + QStringLiteral("/DEBIAN/"); }
    QString applications() const { return workDir() + QStringLiteral("/usr/share/applications/"); }

    removeControltWindow *open(void (BexlorWindow::*handler)(), const QString &work)
    {
        m_main->ui->lineEditProjectDir_2->setText(work);
        (m_main.get()->*handler)();
        return qobject_cast<removeControltWindow *>(m_main->newWindow.data());
    }

    removeControltWindow *openDebian() { return open(&BexlorWindow::removeControlFiles, workDir()); }

    void choose(removeControltWindow *window, const QString &name)
    {
        const int index = window->delete_.comboBox->findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        window->delete_.comboBox->setCurrentIndex(index);
    }

private slots:
    void init()
    {
        m_main = std::make_unique<BexlorWindow>();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(workDir()));
    }

    void cleanup()
    {
        QApplication::closeAllWindows();
        m_main.reset();
    }

    void emptyFieldOpensNothing_data()
    {
        QTest::addColumn<bool>("shortcuts");
        QTest::newRow("DEBIAN") << false;
        QTest::newRow("shortcuts") << true;
    }

    void emptyFieldOpensNothing()
    {
        QFETCH(bool, shortcuts);
        FakeDialogs dialogs;
        QVERIFY(!open(shortcuts ? &BexlorWindow::removeShotcut : &BexlorWindow::removeControlFiles,
                      QString()));
        QCOMPARE(dialogs.take(), {QStringLiteral("critical: Ошибка / Необходимо выбрать каталог")});
    }

    void opensOnTheDirectory_data()
    {
        QTest::addColumn<bool>("shortcuts");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("title");
        QTest::newRow("DEBIAN") << false << QStringLiteral("/DEBIAN/")
                                << QStringLiteral("Удалить файл из каталога DEBIAN");
        QTest::newRow("shortcuts") << true << QStringLiteral("/usr/share/applications/")
                                   << QStringLiteral("Удалить ярлыки");
    }

    // A missing directory gives an empty list, and nothing is created.
    void opensOnTheDirectory()
    {
        QFETCH(bool, shortcuts);
        QFETCH(QString, suffix);
        QFETCH(QString, title);
        FakeDialogs dialogs;
        removeControltWindow *window =
            open(shortcuts ? &BexlorWindow::removeShotcut : &BexlorWindow::removeControlFiles, workDir());
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->delete_.labelWorkDir->text(), workDir() + suffix);
        QCOMPARE(window->pos(), centredPosition(QApplication::desktop()->size(), m_main->size(), 200, 50));
        QCOMPARE(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QVERIFY(window->minimumWidth() < 900);
        QCOMPARE(items(window), QStringList());
        QCOMPARE(QDir(workDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

        window->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(), {QStringLiteral("critical: Ошибка / Файлы для удаления не найдены!")});
        QVERIFY(window->isVisible());
    }

    void emptyDirectoryListsOnlyTheWhole()
    {
        QVERIFY(QDir().mkpath(debian()));
        FakeDialogs dialogs;
        QCOMPARE(items(openDebian()), QStringList{removeAll});
    }

    void singleDeletion_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("postinst");
        QTest::newRow("blanks and Cyrillic") << QStringLiteral("мой файл $x;'q\"");
        QTest::newRow("hidden") << QStringLiteral(".hidden");
    }

    void singleDeletion()
    {
        QFETCH(QString, name);
        writeFile(debian() + name, "x");
        writeFile(debian() + QStringLiteral("control"), "c");
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        QCOMPARE(items(window).size(), 3);
        QCOMPARE(items(window).first(), removeAll);
        const QString question = QStringLiteral("question: Удаление файла / Удалить файл ") + name
                                 + QLatin1Char('?');

        choose(window, name);
        window->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(), {question});
        QVERIFY(QFileInfo::exists(debian() + name));
        QCOMPARE(window->delete_.comboBox->currentText(), name);

        dialogs.answers.enqueue(true);
        window->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(),
                 QStringList({question, QStringLiteral("information: Выполнено! / Файл ") + name
                                            + QStringLiteral(" удален!")}));
        QVERIFY(!QFileInfo::exists(debian() + name));
        QVERIFY(QFileInfo::exists(debian() + QStringLiteral("control")));
        QCOMPARE(items(window), QStringList({removeAll, QStringLiteral("control")}));
        QCOMPARE(window->delete_.comboBox->currentIndex(), 0);
        QVERIFY(window->isVisible());
    }

    void fileVanishedBeforeDeletion()
    {
        writeFile(debian() + QStringLiteral("prerm"), "x");
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        choose(window, QStringLiteral("prerm"));
        QVERIFY(QFile::remove(debian() + QStringLiteral("prerm")));
        dialogs.answers.enqueue(true);
        window->removeFile();
        QCOMPARE(dialogs.take().last(), QStringLiteral("critical: Ошибка / Файл prerm не найден"));
        QCOMPARE(items(window), QStringList{removeAll});
        QVERIFY(window->isVisible());
    }

    void subDirectoryIsNotDeletedSingly()
    {
        writeFile(debian() + QStringLiteral("sub/inner"), "x");
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        choose(window, QStringLiteral("sub"));
        dialogs.answers.enqueue(true);
        window->removeFile();
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / sub")), qPrintable(shown.first()));
        QCOMPARE(readFile(debian() + QStringLiteral("sub/inner")), QByteArray("x"));
        QCOMPARE(items(window), QStringList({removeAll, QStringLiteral("sub")}));
        QVERIFY(window->isVisible());
    }

    // Links are removed as links; what they point to stays.
    void linksInsideAreRemovedAsLinks()
    {
        writeFile(m_dir->path() + QStringLiteral("/outside/keep"), "keep");
        writeFile(debian() + QStringLiteral("control"), "c");
        link(m_dir->path() + QStringLiteral("/outside"), debian() + QStringLiteral("dirlink"));
        link(m_dir->path() + QStringLiteral("/outside/keep"), debian() + QStringLiteral("filelink"));
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        choose(window, QStringLiteral("filelink"));
        dialogs.answers.enqueue(true);
        window->removeFile();
        QVERIFY(!QFileInfo(debian() + QStringLiteral("filelink")).isSymLink());
        choose(window, QStringLiteral("dirlink"));
        dialogs.answers.enqueue(true);
        window->removeFile();
        QVERIFY(!QFileInfo(debian() + QStringLiteral("dirlink")).isSymLink());
        QCOMPARE(readFile(m_dir->path() + QStringLiteral("/outside/keep")), QByteArray("keep"));
    }

    void wholeDirectoryDeletion_data()
    {
        QTest::addColumn<bool>("linkedDebian");
        QTest::newRow("real directory") << false;
        QTest::newRow("DEBIAN is a link") << true;
    }

    void wholeDirectoryDeletion()
    {
        QFETCH(bool, linkedDebian);
        const QString outside = m_dir->path() + QStringLiteral("/outside");
        writeFile(outside + QStringLiteral("/keep"), "keep");
        writeFile(workDir() + QStringLiteral("/usr/bin/tool"), "tool");
        if (linkedDebian) {
            link(outside, workDir() + QStringLiteral("/DEBIAN"));
        } else {
            writeFile(debian() + QStringLiteral("control"), "c");
            writeFile(debian() + QStringLiteral("sub/.hidden"), "h");
            link(outside, debian() + QStringLiteral("sub/outside-link"));
            link(outside + QStringLiteral("/keep"), debian() + QStringLiteral("keep-link"));
        }
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        QCOMPARE(window->delete_.comboBox->currentText(), removeAll);

        window->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(), {removeAllQuestion});
        QVERIFY(QFileInfo::exists(debian()));
        QVERIFY(window->isVisible());

        dialogs.answers.enqueue(true);
        window->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(), QStringList({removeAllQuestion, removedAll}));
        QVERIFY(!QFileInfo(workDir() + QStringLiteral("/DEBIAN")).exists());
        QVERIFY(!QFileInfo(workDir() + QStringLiteral("/DEBIAN")).isSymLink());
        QCOMPARE(readFile(workDir() + QStringLiteral("/usr/bin/tool")), QByteArray("tool"));
        QCOMPARE(readFile(outside + QStringLiteral("/keep")), QByteArray("keep"));
        QCOMPARE(items(window), QStringList());
        QVERIFY(!window->isVisible());
    }

    void wholeDirectoryVanished()
    {
        QVERIFY(QDir().mkpath(debian()));
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        QVERIFY(QDir().rmdir(debian()));
        dialogs.answers.enqueue(true);
        window->removeFile();
        QCOMPARE(dialogs.take(),
                 QStringList({removeAllQuestion, QStringLiteral("critical: Ошибка / Каталог или файлы не найдены")}));
        QVERIFY(!window->isVisible());
    }

    // A directory marked immutable refuses deletions even to root.
    void failedDeletionKeepsTheWindowOpen()
    {
        writeFile(debian() + QStringLiteral("control"), "c");
        writeFile(debian() + QStringLiteral("locked/inner"), "x");
        const QString locked = debian() + QStringLiteral("locked");
        const auto chattr = [&locked](const char *flag) {
            return runProcess(QStringLiteral("chattr"), {QLatin1String(flag), locked}).succeeded();
        };
        if (!chattr("+i"))
            QSKIP("the file system cannot mark directories immutable");
        const std::unique_ptr<void, std::function<void(void *)>> unlock(this, [&](void *) { chattr("-i"); });

        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        dialogs.answers.enqueue(true);
        window->removeFile();
        QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.last(), QStringLiteral("critical: Ошибка / Не удалось удалить ") + locked
                                   + QStringLiteral("/inner: Operation not permitted"));
        QCOMPARE(items(window), QStringList({removeAll, QStringLiteral("locked")}));
        QVERIFY(window->isVisible());
        QVERIFY(!QFileInfo::exists(debian() + QStringLiteral("control")));
        QCOMPARE(readFile(locked + QStringLiteral("/inner")), QByteArray("x"));
    }

    // The pseudo-entry's text always means the whole directory.
    void fileNamedLikeThePseudoEntry()
    {
        writeFile(debian() + removeAll, "x");
        FakeDialogs dialogs;
        removeControltWindow *window = openDebian();
        window->delete_.comboBox->setCurrentIndex(1);
        window->removeFile();
        QCOMPARE(dialogs.take(), {removeAllQuestion});
        QVERIFY(QFileInfo::exists(debian() + removeAll));
    }

    void shortcutRemoval()
    {
        writeFile(applications() + QStringLiteral("my app.desktop"), "[Desktop Entry]\n");
        writeFile(applications() + QStringLiteral("other.desktop"), "[Desktop Entry]\n");
        writeFile(workDir() + QStringLiteral("/usr/share/doc/readme"), "doc");
        FakeDialogs dialogs;
        removeControltWindow *window = open(&BexlorWindow::removeShotcut, workDir());
        QCOMPARE(items(window).size(), 3);

        choose(window, QStringLiteral("my app.desktop"));
        dialogs.answers.enqueue(true);
        window->removeFile();
        QCOMPARE(dialogs.take().last(),
                 QStringLiteral("information: Выполнено! / Файл my app.desktop удален!"));
        QVERIFY(!QFileInfo::exists(applications() + QStringLiteral("my app.desktop")));
        QCOMPARE(items(window), QStringList({removeAll, QStringLiteral("other.desktop")}));

        dialogs.answers.enqueue(true);
        window->removeFile();
        QCOMPARE(dialogs.take(), QStringList({removeAllQuestion, removedAll}));
        QVERIFY(!QFileInfo::exists(applications()));
        QVERIFY(QFileInfo(workDir() + QStringLiteral("/usr/share")).isDir());
        QCOMPARE(readFile(workDir() + QStringLiteral("/usr/share/doc/readme")), QByteArray("doc"));
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(RemovalTest)
#include "tst_removal.moc"
