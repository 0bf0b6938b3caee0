// Long work under a job, cancelled early and late, lint included, through the job or the progress window's button,
// leaves no process (fakeroot's daemon included), staging directory, partial package or changed file, and keeps an
// older package; the window shows the tools' output meanwhile.
#include "app/ui/bexlorwindow.h"
#include "common/job.h"
#include "common/processrunner.h"
#include "common/ui/progressdialog.h"
#include "desktop/iconset.h"
#include "exebuild/exebuild.h"
#include "package/debbuild/debbuild.h"
#include "package/control/checksums.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <mutex>

namespace {

// A stand-in tool: starts a child, says "ready" and waits.
const QByteArray hangingTool = "sleep 300 & echo ready; wait\n";

} // namespace

class ProgressTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void cancelLeavesNothing_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("tool"); // the tool a stand-in replaces, if any
        QTest::addColumn<QByteArray>("script"); // its body before the hanging part
        QTest::addColumn<QString>("trigger"); // a percent reached, or a text in the output (the window's log)
        const QByteArray partialOutput = "while [ \"$1\" != -o ]; do shift; done; printf partial > \"$2\"\n";
        // The executable build's stand-ins answer its questions (versions, the runtime library) as the real tools.
        const QByteArray answers =
            "case \"$1\" in --version|-print-file-name=*) exec /usr/bin/$(basename \"$0\") \"$@\";; esac\n";
        const QByteArray partialPackage = "for last; do :; done; printf partial > \"$last/mytool_1.0_all.deb\"\n";
        addRow("executable, scanning imports", "exe", systemRuntime(), answers, "ready");
        addRow("executable, translating", "exe", "cython3", answers, "ready");
        addRow("executable, compiling", "exe", "gcc", answers + partialOutput, "ready");
        addRow("executable, stripping", "exe", "strip", QByteArray(), "ready");
        addRow("package, copying", "deb", "", QByteArray(), "0");
        addRow("package, building", "deb", "fakeroot", partialPackage, "ready");
        addRow("package, TERM ignored", "deb", "fakeroot", "trap '' TERM\n" + partialPackage, "ready");
        addRow("package, linting", "deb", "lintian", QByteArray(), "ready");
        addRow("checksums, half", "md5", "", QByteArray(), "50");
        addRow("icons, last size", "icons", "", QByteArray(), "88");
        // Through the window: the tool's output shows while it runs, and the cancel button ends it.
        const QByteArray speaks = "echo 'вывод инструмента'\n";
        addRow("package, window button", "window", "fakeroot", speaks, "вывод инструмента\nready");
    }

    void cancelLeavesNothing()
    {
        QFETCH(QString, work);
        QFETCH(QString, tool);
        QFETCH(QByteArray, script);
        QFETCH(QString, trigger);
        const QString base = root.path() + "/отмена " + QTest::currentDataTag() + " $x; 'q'";
        const QString project = base + "/work dir/mytool", output = base + "/out", tmp = base + "/tmp";
        const QString tools = base + "/tools";
        QVERIFY(QDir().mkpath(output) && QDir().mkpath(tmp) && QDir().mkpath(tools));
        writeFile(project + "/my-tool.py", "print('hi')\n");
        writeFile(project + "/DEBIAN/control", "Package: mytool\nVersion: 1.0\nArchitecture: all\n");
        for (int i = 0; i < 200; ++i)
            writeFile(project + QStringLiteral("/usr/share/mytool/f%1").arg(i), QByteArray(4096 + i, 'x'));
        writeFile(project + "/usr/share/icons/hicolor/256x256/apps/mytool.png", "old icon");
        writeFile(output + "/mytool_1.0_all.deb", "old package");
        writePicture(base + "/picture.png");
        if (!tool.isEmpty()) {
            writeFile(tools + '/' + tool, "#!/bin/sh\n" + script + hangingTool);
            QVERIFY(QFile::setPermissions(tools + '/' + tool, QFile::ReadOwner | QFile::ExeOwner));
            setToolForTesting(tool, tools + '/' + tool);
        }
        const auto realTools = qScopeGuard([] { clearToolsForTesting(); });
        const QStringList before = treeSnapshot(base);

        Job job;
        QElapsedTimer sinceCancel;
        const auto cancel = [&] {
            if (!job.cancelled())
                sinceCancel.start();
            job.cancel();
        };
        bool isPercent = false;
        const int percentTrigger = trigger.toInt(&isPercent);
        std::mutex lock;
        QByteArray output_;
        job.onOutput = [&](const QByteArray &chunk) {
            const std::lock_guard<std::mutex> guard(lock);
            output_ += chunk;
            if (!isPercent && output_.contains(trigger.toUtf8()))
                cancel();
        };
        job.onProgress = [&](int percent) {
            const std::lock_guard<std::mutex> guard(lock);
            if (isPercent && percent >= percentTrigger)
                cancel();
        };
        qputenv("TMPDIR", QFile::encodeName(tmp));
        qputenv("TEST_RUN", QFile::encodeName(base)); // every tool inherits it, and what the tool starts
        Result result = Result::failure(cancelledText());
        int hashed = 0;
        if (work == "window") {
            BexlorWindow window;
            window.ui->lineEditProjectDir_2->setText(project);
            window.ui->lineEditDebDir->setText(output);
            window.ui->checkBoxLint->setChecked(false);
            QString title;
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!dialog || dialog->objectName() != "progressDialog")
                    return;
                title = dialog->windowTitle();
                if (dialog->findChild<QPlainTextEdit *>("plainTextEditLog")->toPlainText().contains(trigger))
                    dialog->findChild<QPushButton *>("pushButtonCancel")->click();
            });
            poll.start(20);
            FakeDialogs dialogs;
            window.buidDeb();
            poll.stop();
            QCOMPARE(title, QStringLiteral("Сборка пакета"));
            QCOMPARE(dialogs.take(), QStringList{"critical: Ошибка / Работа «Сборка пакета» отменена. "
                                                 "То, что она успела создать, удалено."});
            QVERIFY(!QApplication::activeModalWidget());
            cancel(); // the window ran its own job, cancelled as the box says; the checks below hold for both
        } else {
            const JobScope scope(&job);
            if (work == "exe") {
                result = buildExecutable({systemRuntime(), project, project + "/my-tool.py", project, "my tool"});
            } else if (work == "deb") {
                result = buildPackage(project, output, tool == "lintian");
            } else if (work == "md5") {
                hashed = checksumLines(project).content.count('\n');
            } else {
                result = writeIconSet(project, base + "/picture.png");
            }
        }
        const qint64 afterCancel = sinceCancel.elapsed();
        qunsetenv("TMPDIR");
        qunsetenv("TEST_RUN");

        QVERIFY(job.cancelled());
        QVERIFY2(result.failed(), qPrintable(result.message));
        QVERIFY(hashed < 150);
        QCOMPARE(processesWith(QFile::encodeName(base)), QStringList());
        // TERM first; KILL only 2 s later, for a tool that ignores TERM.
        QVERIFY(!script.startsWith("trap") || afterCancel >= 2000);
        QCOMPARE(treeSnapshot(base), before);
    }
};

QTEST_MAIN(ProgressTest)
#include "tst_progress.moc"
