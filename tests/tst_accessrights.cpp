// The access-rights tool: generation from the current modes, editing and
// saving through AccessWindow, and deletion, in a temporary HOME.
#include "app/bexlorwindow.h"
#include "common/paths.h"
#include "desktop/accessrights.h"
#include "desktop/accesswindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

class AccessRightsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;
    QString work;
    QString accessFile;

    void setMode(const QString &path, unsigned mode)
    {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
    }

    // Opens the tool window the way the button does; nullptr if none opened.
    AccessWindow *open(BexlorWindow &window, const QString &workDir)
    {
        window.ui->lineEditProjectDir_2->setText(workDir);
        window.editAccess();
        return qobject_cast<AccessWindow *>(window.newWindow.data());
    }

    static QStringList sortedLines(const QString &text)
    {
        QStringList lines = text.split(QLatin1Char('\n'));
        lines.sort();
        return lines;
    }

private slots:
    void init()
    {
        static int count = 0;
        work = root.path() + QStringLiteral("/права %1 $(x) 'q'/mytool").arg(++count);
        accessFile = dataDirectoryPath() + QStringLiteral("/mytool");
        QVERIFY(QDir().mkpath(dataDirectoryPath()));
        QFile::remove(accessFile);
        writeFile(work + QStringLiteral("/usr/bin/mytool"), "#!/bin/sh\n");
        writeFile(work + QStringLiteral("/DEBIAN/control"), "Package: mytool\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/.key"), "k\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/a: b"), "c\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/new\nline"), "n\n");
        writeFile(root.path() + QStringLiteral("/target"), "t\n");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/usr/share/empty")));
        QVERIFY(QFile::link(root.path() + QStringLiteral("/target"), work + QStringLiteral("/usr/bin/link")));
        QVERIFY(QFile::link(QStringLiteral("nowhere"), work + QStringLiteral("/usr/bin/broken")));
        QVERIFY(QFile::link(QStringLiteral(".."), work + QStringLiteral("/usr/bin/loop")));
        setMode(work + QStringLiteral("/usr/bin/mytool"), 04755);
        setMode(work + QStringLiteral("/DEBIAN/control"), 0644);
        setMode(work + QStringLiteral("/usr/share/mytool/.key"), 0600);
        setMode(work + QStringLiteral("/usr/share/mytool/a: b"), 0640);
        setMode(root.path() + QStringLiteral("/target"), 0604);
    }

    void generatesFromCurrentModes()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        AccessWindow *access = open(window, work);
        QVERIFY(access);
        QCOMPARE(dialogs.take(), QStringList());
        QCOMPARE(access->windowTitle(), QStringLiteral("Права доступа к файлам"));
        QCOMPARE(access->labelFolderValue->text(), work);
        QVERIFY(access->control->updateMd5sum->isHidden());
        QVERIFY(access->control->checkBox->isHidden());

        const QString text = access->textEditCopyright->toPlainText();
        QCOMPARE(QString::fromUtf8(readFile(accessFile)), text);
        // The looped link is descended once at most, so its lines repeat
        // some files under /usr/bin/loop/...; the rest is exact.
        QStringList lines = sortedLines(text);
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString &line) { return line.startsWith(QStringLiteral("/usr/bin/loop/")); }),
                    lines.end());
        QCOMPARE(lines, (QStringList{QString(),
                                     QStringLiteral("/DEBIAN/control: 644"),
                                     QStringLiteral("/usr/bin/link: 604"),
                                     QStringLiteral("/usr/bin/mytool: 755"),
                                     QStringLiteral("/usr/share/mytool/.key: 600"),
                                     QStringLiteral("/usr/share/mytool/a: b: 640")}));
        QVERIFY(text.endsWith(QLatin1Char('\n')));
    }

    void secondOpeningShowsSavedText()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        AccessWindow *first = open(window, work);
        QVERIFY(first);
        const QString edited = QStringLiteral("<b>/usr/bin/mytool</b>: 700\n/DEBIAN/control: 644");
        first->textEditCopyright->setPlainText(edited);
        first->control->saveControl->click();
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("information: Выполнено! / Изменения сохранены!")});
        QCOMPARE(QString::fromUtf8(readFile(accessFile)), edited);

        AccessWindow *second = open(window, work);
        QVERIFY(second && second != first);
        QCOMPARE(second->textEditCopyright->toPlainText(), edited);

        // Cleared and saved: an empty file, shown empty next time rather than regenerated.
        second->control->clean->click();
        second->saveAccess();
        QCOMPARE(readFile(accessFile), QByteArray());
        AccessWindow *third = open(window, work);
        QVERIFY(third);
        QCOMPARE(third->textEditCopyright->toPlainText(), QString());
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("information: Выполнено! / Изменения сохранены!")});
    }

    void noFileForNoPackageName()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        AccessWindow *access = open(window, work + QLatin1Char('/'));
        QVERIFY(access);
        QCOMPARE(access->textEditCopyright->toPlainText(), QString());
        QCOMPARE(dialogs.take(), QStringList());
        QCOMPARE(QDir(dataDirectoryPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

        // Saving there cannot write the data directory over: an error, nothing lost.
        access->textEditCopyright->setPlainText(QStringLiteral("/x: 644\n"));
        access->saveAccess();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.last().kind, QStringLiteral("critical"));
        QVERIFY(QFileInfo(dataDirectoryPath()).isDir());
    }

    void missingWorkDirectoryCreatesNothing()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        const QString missing = root.path() + QStringLiteral("/нет/mytool");
        QVERIFY(open(window, missing));
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("critical: Ошибка / Каталог %1 не найден").arg(missing)});
        QVERIFY(!QFileInfo::exists(accessFile));
    }

    void unwritableFileIsReported()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        // A directory where the data directory should be a file path's parent.
        QVERIFY(QDir(dataDirectoryPath()).removeRecursively());
        writeFile(dataDirectoryPath(), "not a directory");
        AccessWindow *access = open(window, work);
        QVERIFY(access);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.last().kind, QStringLiteral("critical"));
        QVERIFY(dialogs.last().text.contains(accessFile));
        access->saveAccess();
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.last().kind, QStringLiteral("critical"));
        QCOMPARE(readFile(dataDirectoryPath()), QByteArray("not a directory"));
        QVERIFY(QFile::remove(dataDirectoryPath()));
    }

    void emptyFieldOpensNothing()
    {
        BexlorWindow window;
        FakeDialogs dialogs;
        QVERIFY(!open(window, QString()));
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("critical: Ошибка / Необходимо выбрать каталог")});
    }

    void deletesTwice()
    {
        writeFile(accessFile, "/usr/bin/mytool: 755\n");
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        window.delAccess();
        window.delAccess();
        QCOMPARE(dialogs.take(), (QStringList{
                                     QStringLiteral("information: Выполнено! / Настройки прав доступа очищены!"),
                                     QStringLiteral("critical: Ошибка / Файл настроек прав доступа не найден")}));
        QVERIFY(!QFileInfo::exists(accessFile));
    }

    void deleteNeverTakesDataDirectory_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::newRow("empty") << QString();
        QTest::newRow("trailing slash") << QStringLiteral("/home/u/work/mytool/");
        QTest::newRow("dot dot") << QStringLiteral("/home/u/..");
    }

    void deleteNeverTakesDataDirectory()
    {
        QFETCH(QString, workDir);
        writeFile(accessFile, "/usr/bin/mytool: 755\n");
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir);
        FakeDialogs dialogs;
        window.delAccess();
        QCOMPARE(dialogs.take(), QStringList{QStringLiteral("critical: Ошибка / Файл настроек прав доступа не найден")});
        QVERIFY(QFileInfo::exists(accessFile));
    }
};

QTEST_MAIN(AccessRightsTest)
#include "tst_accessrights.moc"
