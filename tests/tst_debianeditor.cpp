// The DEBIAN file editor opened through the main window: the files it
// creates, listing, loading, saving and the checksum refresh.
#include "app/bexlorwindow.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "package/debianmeta.h"
#include "package/editwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopWidget>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QStringList standardFiles = {QStringLiteral("control"), QStringLiteral("preinst"),
                                   QStringLiteral("postinst"), QStringLiteral("prerm"),
                                   QStringLiteral("postrm")};
const QString md5sumsQuestion = QStringLiteral(
    "question: Обновление контрольных сумм / Внимание!\nБудет выполнен перерасчет контрольных сумм.\n"
    "Файл md5sums будет перезаписан. Вы согласны?");
}

class DebianEditorTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BexlorWindow> m_main;

    // A work directory path with blanks, shell characters and Cyrillic letters.
    QString workDir() const { return m_dir->path() + QStringLiteral("/мой пакет $x;'q\""); }
    QString debian() const { return workDir() + QStringLiteral("/DEBIAN/"); }

    editWindow *open(const QString &work)
    {
        m_main->ui->lineEditProjectDir_2->setText(work);
        m_main->editFiles();
        return qobject_cast<editWindow *>(m_main->newWindow.data());
    }

    void select(editWindow *window, const QString &name)
    {
        const int index = window->comboBox->findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        window->comboBox->setCurrentIndex(index);
        emit window->comboBox->activated(index);
    }

private slots:
    void init()
    {
        m_main = std::make_unique<BexlorWindow>();
        m_dir = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        QApplication::closeAllWindows();
        m_main.reset();
    }

    void firstOpeningCreatesTheStandardFiles()
    {
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        QVERIFY(window);
        QVERIFY(dialogs.take().isEmpty());
        for (const QString &name : standardFiles) {
            QVERIFY2(QFileInfo(debian() + name).isFile(), qPrintable(name));
            QCOMPARE(QFileInfo(debian() + name).size(), qint64(0));
        }
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(debian()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, 0767 & ~mask);

        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Создание/редактирование файлов каталога DEBIAN"));
        QCOMPARE(window->minimumSize(), QSize(900, 480));
        QCOMPARE(window->maximumSize(), QSize(7680, 4320));
        QCOMPARE(window->pos(), centredPosition(QApplication::desktop()->size(), m_main->size(), 0, -100));
        QCOMPARE(window->labelFolderValue->text(), debian());
        QVERIFY(window->control.checkBox->isHidden());
        QVERIFY(window->control.updateMd5sum->isHidden());
        QStringList listed;
        for (int i = 0; i < window->comboBox->count(); ++i)
            listed << window->comboBox->itemText(i);
        QCOMPARE(listed.size(), 5);
        QCOMPARE(QSet<QString>(listed.begin(), listed.end()),
                 QSet<QString>(standardFiles.begin(), standardFiles.end()));
        QCOMPARE(window->comboBox->currentIndex(), 0);
    }

    void secondOpeningRewritesOnlyTheSizeLines()
    {
        const QByteArray control = "Package: p\nInstalled-Size: 1\ninstalled-size: 2\n"
                                   " Installed-Size: 3\nDescription: x\nInstalled-Size: 4";
        writeFile(debian() + QStringLiteral("control"), control);
        writeFile(debian() + QStringLiteral("postinst"), "#!/bin/sh\necho hi\n");
        QVERIFY(QFile::setPermissions(debian() + QStringLiteral("control"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        writeFile(workDir() + QStringLiteral("/usr/bin/tool"), QByteArray(3 * 1024 + 5, 't'));
        FakeDialogs dialogs;
        QVERIFY(open(workDir()));
        QVERIFY(dialogs.take().isEmpty());
        QCOMPARE(readFile(debian() + QStringLiteral("control")),
                 QByteArray("Package: p\nInstalled-Size: 3\ninstalled-size: 2\n"
                            " Installed-Size: 3\nDescription: x\nInstalled-Size: 3\n"));
        QCOMPARE(QFile::permissions(debian() + QStringLiteral("control")) & 0x0fff,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(readFile(debian() + QStringLiteral("postinst")), QByteArray("#!/bin/sh\necho hi\n"));
        QCOMPARE(QFileInfo(debian() + QStringLiteral("preinst")).size(), qint64(0));
    }

    void refusedOpenings_data()
    {
        QTest::addColumn<bool>("emptyField");
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty field") << true << QString() << QStringLiteral("Необходимо выбрать каталог");
        QTest::newRow("file as work directory") << false << QString()
                                                << QStringLiteral("Не удалось создать каталог ");
        QTest::newRow("file as DEBIAN") << false << QStringLiteral("/DEBIAN")
                                        << QStringLiteral("Не удалось создать каталог ");
    }

    void refusedOpenings()
    {
        QFETCH(bool, emptyField);
        QFETCH(QString, blocker);
        QFETCH(QString, message);
        if (!emptyField)
            writeFile(workDir() + blocker, "in the way");
        FakeDialogs dialogs;
        QVERIFY(!open(emptyField ? QString() : workDir()));
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / ") + message), qPrintable(shown.first()));
        if (emptyField)
            QVERIFY(QDir(m_dir->path()).isEmpty());
        else
            QCOMPARE(readFile(workDir() + blocker), QByteArray("in the way"));
    }

    void unwritableControlKeepsTheWindowUsable()
    {
        QVERIFY(QDir().mkpath(debian() + QStringLiteral("control")));
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        QVERIFY(window);
        const QStringList shown = dialogs.take();
        QVERIFY(shown.size() >= 1);
        QVERIFY(shown.first().contains(debian() + QStringLiteral("control")));
        QVERIFY(window->isVisible());
    }

    // An immutable DEBIAN directory refuses the new control file even to root.
    void failedSizeRewriteKeepsControl()
    {
        const QByteArray control = "Package: p\nInstalled-Size: 5\n";
        writeFile(debian() + QStringLiteral("control"), control);
        for (const QString &name : standardFiles.mid(1))
            writeFile(debian() + name, QByteArray());
        writeFile(workDir() + QStringLiteral("/usr/file"), QByteArray(4096, 'x'));
        const auto chattr = [this](const char *flag) {
            return runProcess(QStringLiteral("chattr"), {QLatin1String(flag), debian()}).succeeded();
        };
        if (!chattr("+i"))
            QSKIP("the file system cannot mark directories immutable");
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        chattr("-i");
        QVERIFY(window && window->isVisible());
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / Не удалось записать файл ")
                                          + debian() + QStringLiteral("control: ")),
                 qPrintable(shown.first()));
        QCOMPARE(readFile(debian() + QStringLiteral("control")), control);
    }

    void listsEverythingAndLoadsAsPlainText()
    {
        const QByteArray markup = "<b>bold</b> &amp; <i>x</i>\n<p>para</p>\n";
        writeFile(debian() + QStringLiteral("templates"), markup);
        writeFile(debian() + QStringLiteral(".hidden"), "h");
        writeFile(debian() + QStringLiteral("md5sums"), "old\n");
        QVERIFY(QDir().mkpath(debian() + QStringLiteral("sub")));
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        QCOMPARE(window->comboBox->count(), 9);

        select(window, QStringLiteral("templates"));
        QCOMPARE(window->textEditControl->toPlainText(), QString::fromUtf8(markup));
        QVERIFY(window->control.updateMd5sum->isHidden());
        window->lineEditFileName->setText(QStringLiteral("templates"));
        window->saveFiles();
        QCOMPARE(readFile(debian() + QStringLiteral("templates")), markup);

        select(window, QStringLiteral("md5sums"));
        QVERIFY(!window->control.updateMd5sum->isHidden());
        QVERIFY(window->control.updateMd5sum->isEnabled());
        QCOMPARE(window->textEditControl->toPlainText(), QStringLiteral("old\n"));

        select(window, QStringLiteral("sub"));
        QVERIFY(window->textEditControl->toPlainText().isEmpty());
        QVERIFY(window->control.updateMd5sum->isHidden());
        QVERIFY(!window->control.updateMd5sum->isEnabled());

        window->textEditControl->setPlainText(QStringLiteral("kept"));
        window->lineEditFileName->setText(QStringLiteral("name"));
        window->control.clean->click();
        QVERIFY(window->textEditControl->toPlainText().isEmpty());
        QCOMPARE(window->lineEditFileName->text(), QStringLiteral("name"));
        QCOMPARE(window->comboBox->count(), 9);
    }

    void nameFieldTakesPrecedence()
    {
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        select(window, QStringLiteral("control"));
        window->textEditControl->setPlainText(QStringLiteral("#!/bin/sh\nset -e"));
        window->lineEditFileName->setText(QStringLiteral("postinst"));
        window->control.saveControl->click();
        QCOMPARE(dialogs.take(), {QStringLiteral("information: Выполнено! / Изменения сохранены!")});
        QCOMPARE(readFile(debian() + QStringLiteral("postinst")), QByteArray("#!/bin/sh\nset -e"));
        QCOMPARE(QFileInfo(debian() + QStringLiteral("control")).size(), qint64(0));
        // The editor shows the first listed file again, the name field keeps its text.
        QCOMPARE(window->comboBox->currentIndex(), 0);
        QCOMPARE(window->textEditControl->toPlainText(),
                 QString::fromUtf8(readFile(debian() + window->comboBox->itemText(0))));
        QCOMPARE(window->lineEditFileName->text(), QStringLiteral("postinst"));

        // Without a typed name the listed entry is overwritten.
        window->lineEditFileName->clear();
        select(window, QStringLiteral("prerm"));
        window->textEditControl->setPlainText(QStringLiteral("Текст с пробелом \n"));
        window->saveFiles();
        QCOMPARE(readFile(debian() + QStringLiteral("prerm")), QString("Текст с пробелом \n").toUtf8());

        // A typed name with blanks is used as typed.
        window->lineEditFileName->setText(QStringLiteral(" conffiles "));
        window->saveFiles();
        QVERIFY(QFileInfo::exists(debian() + QStringLiteral(" conffiles ")));
    }

    void saveWithoutAnyName()
    {
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        for (const QString &name : standardFiles)
            QVERIFY(QFile::remove(debian() + name));
        window->searchFiles();
        window->textEditControl->setPlainText(QStringLiteral("text"));
        window->saveFiles();
        QCOMPARE(dialogs.take(), {QStringLiteral("critical: Ошибка / Необходимо указать имя файла")});
        QCOMPARE(QDir(debian()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList());
        QCOMPARE(window->textEditControl->toPlainText(), QStringLiteral("text"));
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reported");
        QTest::newRow("name of a directory") << QStringLiteral("sub") << QStringLiteral("sub");
        QTest::newRow("missing intermediate directory")
            << QStringLiteral("missing/file") << QStringLiteral("missing/file");
        QTest::newRow("below a regular file") << QStringLiteral("control/x") << QStringLiteral("control/x");
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, reported);
        writeFile(debian() + QStringLiteral("control"), "Package: old\n");
        writeFile(debian() + QStringLiteral("sub/inner"), "inner\n");
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        window->textEditControl->setPlainText(QStringLiteral("new text"));
        window->lineEditFileName->setText(name);
        window->saveFiles();
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("critical: Ошибка / ")), qPrintable(shown.first()));
        QVERIFY2(shown.first().contains(debian() + reported), qPrintable(shown.first()));
        QCOMPARE(readFile(debian() + QStringLiteral("control")), QByteArray("Package: old\n"));
        QCOMPARE(readFile(debian() + QStringLiteral("sub/inner")), QByteArray("inner\n"));
        QCOMPARE(window->textEditControl->toPlainText(), QStringLiteral("new text"));
        QVERIFY(window->isVisible());
    }

    void checksumRefresh()
    {
        writeFile(debian() + QStringLiteral("md5sums"), "stale\n");
        writeFile(workDir() + QStringLiteral("/usr/bin/my tool"), "tool");
        writeFile(workDir() + QStringLiteral("/usr/share/doc/Описание\\x"), "doc");
        writeFile(workDir() + QStringLiteral("/usr/share/bad\nname"), "nl");
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        select(window, QStringLiteral("md5sums"));

        // Declining leaves md5sums alone and makes no scratch file.
        const bool scratchBefore = QFileInfo::exists(QStringLiteral("/tmp/md5sums"));
        window->control.updateMd5sum->click();
        QCOMPARE(dialogs.take(), {md5sumsQuestion});
        QCOMPARE(readFile(debian() + QStringLiteral("md5sums")), QByteArray("stale\n"));
        QCOMPARE(QFileInfo::exists(QStringLiteral("/tmp/md5sums")), scratchBefore);

        dialogs.answers.enqueue(true);
        window->control.updateMd5sum->click();
        const QByteArray written = readFile(debian() + QStringLiteral("md5sums"));
        QCOMPARE(written, checksumLines(workDir()).content);
        QVERIFY(written.contains("  usr/bin/my tool\n"));
        QVERIFY(written.contains(QString("  usr/share/doc/Описание\\x\n").toUtf8()));
        QCOMPARE(window->textEditControl->toPlainText(), QString::fromUtf8(written));
        QCOMPARE(dialogs.take(),
                 QStringList({md5sumsQuestion,
                              QStringLiteral("critical: Ошибка / Имена этих файлов содержат перевод "
                                             "строки, в md5sums их записать нельзя:\n"
                                             "usr/share/bad\\nname")}));
        QCOMPARE(QFileInfo::exists(QStringLiteral("/tmp/md5sums")), scratchBefore);
    }

    void checksumRefreshFailures_data()
    {
        QTest::addColumn<bool>("removeDebian");
        QTest::addColumn<QString>("expected");
        QTest::newRow("DEBIAN gone") << true << QStringLiteral("critical: Ошибка / Файл md5sums не найден");
        QTest::newRow("md5sums is a directory") << false
                                                << QStringLiteral("critical: Ошибка / Не удалось записать файл ");
    }

    void checksumRefreshFailures()
    {
        QFETCH(bool, removeDebian);
        QFETCH(QString, expected);
        writeFile(workDir() + QStringLiteral("/usr/file"), "x");
        FakeDialogs dialogs;
        editWindow *window = open(workDir());
        if (removeDebian)
            QVERIFY(QDir(debian()).removeRecursively());
        else
            QVERIFY(QDir().mkpath(debian() + QStringLiteral("md5sums")));
        dialogs.answers.enqueue(true);
        window->updateMD5(workDir());
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.last().startsWith(expected), qPrintable(shown.last()));
        QCOMPARE(QFileInfo::exists(debian()), !removeDebian);
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(DebianEditorTest)
#include "tst_debianeditor.moc"
