// The access-rights tool: generation from the current modes, editing, saving and deletion.
#include "app/ui/bexlorwindow.h"
#include "common/filesystem.h"
#include "common/paths.h"
#include "desktop/ui/accesswindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class AccessRightsTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;

private slots:
    // QTemporaryDir cannot remove a name that is not UTF-8.
    void cleanupTestCase() { QVERIFY(removeTree(root.path()).success); }

    void generatesSavesAndDeletes()
    {
        const QString work = root.path() + "/права $(x) 'q'/mytool", file = dataDirectoryPath() + "/mytool";
        const QList<QPair<QString, unsigned>> modes{{"/usr/bin/mytool", 04755},   {"/DEBIAN/control", 0644},
                                                    {"/usr/share/my/.key", 0600}, {"/usr/share/my/new\nline", 0644},
                                                    {"/usr/bin/newgrp", 02755},   {"/tmp/t", 01777},
                                                    {"/../target", 0604},         {"/srv/shared/", 02775},
                                                    {"/var/tmp/", 01777},         {"/srv/private/", 0700}};
        for (const auto &[path, mode] : modes) { // a path ending in "/" is a directory
            if (path.endsWith('/'))
                QVERIFY(QDir().mkpath(work + path));
            else
                writeFile(work + path, "x\n");
            QVERIFY(::chmod(QFile::encodeName(work + path).constData(), mode) == 0);
        }
        // A Latin-1 name, not UTF-8: it is listed as its own bytes.
        const QByteArray latin1 = QFile::encodeName(work) + "/usr/share/my/caf\xe9";
        const int made = ::open(latin1.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(made >= 0 && ::close(made) == 0 && ::chmod(latin1.constData(), 0640) == 0);
        // Links get no line, and nothing is reached through one.
        QVERIFY(QFile::link(work + "/../target", work + "/usr/bin/link") && QFile::link("nowhere", work + "/usr/bin/no")
                && QFile::link("..", work + "/usr/bin/loop") && QFile::link(work + "/usr", work + "/usr/lib")
                && QDir().mkpath(work + "/usr/share/empty") && QDir().mkpath(dataDirectoryPath()));
        BexlorWindow window;
        const auto open = [&window](const QString &workDir) { // as the button does
            window.ui->lineEditProjectDir_2->setText(workDir);
            window.editAccess();
            return qobject_cast<AccessWindow *>(window.newWindow.data());
        };
        FakeDialogs dialogs;
        AccessWindow *access = open(work);
        QCOMPARE(access->textEditCopyright->toPlainText(), QString::fromUtf8(readFile(file)));
        QList<QByteArray> lines = readFile(file).split('\n');
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines, (QList<QByteArray>{"", "/DEBIAN/control: 644", "/srv/shared: 2775", "/tmp/t: 1777",
                                           "/usr/bin/mytool: 4755", "/usr/bin/newgrp: 2755", "/usr/share/my/.key: 600",
                                           "/usr/share/my/caf\xe9: 640", "/var/tmp: 1777"}));
        QStringList boxes = dialogs.take();
        QCOMPARE(boxes.takeFirst(), "critical: Ошибка / Имена этих файлов содержат перевод строки, в список "
                                    "прав доступа их записать нельзя:\n/usr/share/my/new\\nline");
        // The Latin-1 name cannot be shown as it is: the list opens read-only and is never saved over.
        QVERIFY(boxes.size() == 1 && boxes.first().contains("только для чтения"));
        access->control->saveControl->click();
        QVERIFY(dialogs.take().first().contains("только для чтения"));
        QVERIFY(readFile(file).contains("caf\xe9: 640") && ::unlink(latin1.constData()) == 0 && QFile::remove(file));
        access = open(work);
        QCOMPARE(dialogs.take().size(), 1); // the name with a line break, listed again

        const QString edited = "<b>/usr/bin/mytool</b>: 700\n";
        access->textEditCopyright->setPlainText(edited);
        access->control->saveControl->click();
        AccessWindow *second = open(work);
        QCOMPARE(second->textEditCopyright->toPlainText(), edited);
        second->control->clean->click();
        second->control->saveControl->click();
        QCOMPARE(open(work)->textEditCopyright->toPlainText(), QString());

        // A link that leads nowhere goes too: it would stop every build of the package.
        for (const QString &workDir : {work, work, QString(), work + "/", work + "/.."}) {
            if (workDir.endsWith('/'))
                QVERIFY(QFile::link(root.path() + "/нет", file));
            window.ui->lineEditProjectDir_2->setText(workDir);
            window.delAccess();
        }
        QVERIFY(!QFileInfo(file).isSymLink() && QFileInfo(dataDirectoryPath()).isDir());

        // A name of the longest length is saved too: its temporary takes a shortened name.
        const QString longest = dataDirectoryPath() + '/' + QString(255, 'k');
        writeFile(longest, "old\n");
        access = open(root.path() + '/' + QString(255, 'k'));
        access->textEditCopyright->setPlainText("new\n");
        access->control->saveControl->click();
        QCOMPARE(readFile(longest), QByteArray("new\n"));

        const QString saved = "information: Выполнено! / Изменения сохранены!";
        const QString notFound = "critical: Ошибка / Файл настроек прав доступа не найден",
                      cleared = "information: Выполнено! / Настройки прав доступа очищены!";
        QCOMPARE(dialogs.take(), (QStringList{saved, saved, cleared, notFound, notFound, cleared, notFound, saved}));
    }
};

QTEST_MAIN(AccessRightsTest)
#include "tst_accessrights.moc"
