// The access-rights tool: generation from the current modes, editing, saving and deletion.
#include "app/bexlorwindow.h"
#include "common/paths.h"
#include "desktop/accesswindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

class AccessRightsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void generatesSavesAndDeletes()
    {
        const QString work = root.path() + "/права $(x) 'q'/mytool", file = dataDirectoryPath() + "/mytool";
        const QList<QPair<QString, unsigned>> modes{{"/usr/bin/mytool", 04755}, {"/DEBIAN/control", 0644},
                                                    {"/usr/share/my/.key", 0600}, {"/usr/share/my/new\nline", 0644},
                                                    {"/../target", 0604}};
        for (const auto &[path, mode] : modes) {
            writeFile(work + path, "x\n");
            QVERIFY(::chmod(QFile::encodeName(work + path).constData(), mode) == 0);
        }
        QVERIFY(QFile::link(work + "/../target", work + "/usr/bin/link") && QFile::link("nowhere", work + "/usr/bin/no")
                && QFile::link("..", work + "/usr/bin/loop") && QDir().mkpath(work + "/usr/share/empty")
                && QDir().mkpath(dataDirectoryPath()));
        BexlorWindow window;
        const auto open = [&window](const QString &workDir) { // as the button does
            window.ui->lineEditProjectDir_2->setText(workDir);
            window.editAccess();
            return qobject_cast<AccessWindow *>(window.newWindow.data());
        };
        FakeDialogs dialogs;
        AccessWindow *access = open(work);
        QCOMPARE(access->textEditCopyright->toPlainText(), QString::fromUtf8(readFile(file)));
        // The looped link is descended once at most; what lies below it may repeat.
        QStringList lines = QString::fromUtf8(readFile(file)).split('\n').filter(QRegularExpression("^(?!.*/loop/)"));
        lines.sort();
        QCOMPARE(lines, (QStringList{"", "/DEBIAN/control: 644", "/usr/bin/link: 604", "/usr/bin/mytool: 755",
                                     "/usr/share/my/.key: 600"}));

        const QString edited = "<b>/usr/bin/mytool</b>: 700\n";
        access->textEditCopyright->setPlainText(edited);
        access->control->saveControl->click();
        AccessWindow *second = open(work);
        QCOMPARE(second->textEditCopyright->toPlainText(), edited);
        second->control->clean->click();
        second->control->saveControl->click();
        QCOMPARE(open(work)->textEditCopyright->toPlainText(), QString());

        for (const QString &workDir : {work, work, QString(), work + "/", work + "/.."}) {
            window.ui->lineEditProjectDir_2->setText(workDir);
            window.delAccess();
        }
        QVERIFY(!QFileInfo::exists(file) && QFileInfo(dataDirectoryPath()).isDir());

        // No temporary file fits beside a name of the longest length: the save fails, the old file stays.
        const QString longest = dataDirectoryPath() + '/' + QString(255, 'k');
        writeFile(longest, "old\n");
        access = open(root.path() + '/' + QString(255, 'k'));
        access->textEditCopyright->setPlainText("new\n");
        access->control->saveControl->click();
        QCOMPARE(readFile(longest), QByteArray("old\n"));

        const QString saved = "information: Выполнено! / Изменения сохранены!";
        const QString notFound = "critical: Ошибка / Файл настроек прав доступа не найден";
        QStringList boxes = dialogs.take();
        QVERIFY(boxes.takeLast().startsWith("critical: Ошибка / Не удалось записать файл " + longest));
        QCOMPARE(boxes, (QStringList{saved, saved, "information: Выполнено! / Настройки прав доступа очищены!",
                                     notFound, notFound, notFound, notFound}));
    }
};

QTEST_MAIN(AccessRightsTest)
#include "tst_accessrights.moc"
