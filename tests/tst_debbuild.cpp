// The package build through the real fakeroot and dpkg-deb; TMPDIR inside the work directory shows staging leftovers.
#include "app/bexlorwindow.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

#include <sys/stat.h>

class DebBuildTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void builds_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("link"); // the target of a link W/usr/bin/x, if any
        QTest::addColumn<QString>("box");  // the start of the one box shown
        const QString error = "critical: Ошибка / ", fails = error + "Ошибка при сборке проекта:\n";
        QTest::newRow("builds") << "{W}//" << "" << "information: Выполнено! / Команда сборки завершена.\n\n"
                                                    "Предупреждения при сборке:\n";
        QTest::newRow("root") << "/" << "" << error + "Необходимо выбрать каталог с проектом";
        QTest::newRow("missing") << "{W}/no" << "" << fails + "Не удалось прочитать каталог {W}/no: ";
        QTest::newRow("file") << "{W}/DEBIAN/control" << "" << fails + "{W}/DEBIAN/control не является каталогом";
        QTest::newRow("broken") << "{W}" << "no" << fails + "Ссылка {W}/usr/bin/x указывает на несуществующий объект";
        QTest::newRow("link loop") << "{W}" << "../.." << fails + "Ссылка {W}/usr/bin/x образует цикл";
        QTest::newRow("dpkg-deb fails") << "{W}/usr" << "" << fails + "dpkg-deb";
    }

    void builds()
    {
        QFETCH(QString, workDir);
        QFETCH(QString, link);
        QFETCH(QString, box);
        const QString base = root.path() + "/сборка " + QTest::currentDataTag() + " $(touch pwned); 'q'";
        const QString work = base + "/work dir/mytool", output = base + "/out деб", tmp = work + "/scratch";
        QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(output) && QDir().mkpath(work + "/usr/share/empty"));
        ::chmod(QFile::encodeName(work).constData(), 0755); // the package root keeps the work directory's mode
        qputenv("TMPDIR", QFile::encodeName(tmp));
        // No Description: dpkg-deb warns on standard error and still succeeds.
        writeFile(work + "/DEBIAN/control", "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: Т <t@e>\n");
        for (const char *file : {"/DEBIAN/postinst", "/usr/bin/mytool", "/usr/share/my/key", "/usr/share/my/a: b"})
            writeFile(work + file, "#!/bin/sh\n");
        writeFile(base + "/outside", "linked\n");
        QVERIFY(QFile::link(base + "/outside", work + "/usr/share/my/link"));
        QVERIFY(link.isEmpty() || QFile::link(link, work + "/usr/bin/x"));
        writeFile(dataDirectoryPath() + "/mytool", "/DEBIAN/control: 644\n/usr/share/my/stale: 600\n"
                                                   "/usr/share/my/key: 600\n/usr/share/my/a: b: 640\n"
                                                   "no separator\n/usr/bin/mytool: 9\n/../../etc/passwd: 600\n");
        // As a release sets it: older than the files, whose times dpkg-deb then clamps to it.
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir.replace("{W}", work));
        window.ui->lineEditDebDir->setText(output);
        FakeDialogs dialogs;
        window.buidDeb();
        const QString shown = dialogs.take().join("\n---\n");
        QVERIFY2(shown.startsWith(box.replace("{W}", work)), qPrintable(shown));
        QVERIFY(QDir(tmp).isEmpty() && !QFileInfo::exists("pwned") && !QFileInfo::exists("/tmp/mytool"));
        const bool built = box.startsWith("information");
        QCOMPARE(QDir(output).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 built ? QStringList{"mytool_1.0_all.deb"} : QStringList());
        if (!built)
            return;
        for (const char *note : {"missing 'Description'", "stale: 600", "no separator", "mytool: 9", "passwd: 600"})
            QVERIFY2(shown.contains(note), note);
        const QString package = output + "/mytool_1.0_all.deb";
        QStringList modes = runProcess("dpkg-deb", {"--contents", package}).standardOutput.split('\n');
        modes.replaceInStrings(QRegularExpression(" \\S+ +\\d+ \\S+ \\S+ "), " ").sort(); // owner, size, date, time
        QCOMPARE(modes.join('|'), "|-rw------- ./usr/share/my/key|-rw-r----- ./usr/share/my/a: b|"
                                  "-rwxr-xr-x ./usr/bin/mytool|-rwxr-xr-x ./usr/share/my/link|drwxr-xr-x ./|"
                                  "drwxr-xr-x ./scratch/|drwxr-xr-x ./usr/|drwxr-xr-x ./usr/bin/|"
                                  "drwxr-xr-x ./usr/share/|drwxr-xr-x ./usr/share/empty/|drwxr-xr-x ./usr/share/my/");
        // control is back at 0644 (no "*"), the maintainer script stays executable.
        const QString info = runProcess("dpkg-deb", {"--info", package}).standardOutput;
        QVERIFY2(info.contains(QRegularExpression("lines +control"))
                     && info.contains(QRegularExpression("lines +\\* +postinst")), qPrintable(info));

        // The command line packs the same work directory into the same bytes.
        const QString again = base + "/cli";
        QVERIFY(QDir().mkpath(again));
        QTest::qWait(1100); // a second later, so that any clock time would show
        QCOMPARE(QProcess::execute(qEnvironmentVariable("BEXLOR_BUILD"), {"deb", workDir, again}), 0);
        QCOMPARE(QProcess::execute("cmp", {package, again + "/mytool_1.0_all.deb"}), 0);
        QVERIFY(QDir(tmp).isEmpty());
    }
};

QTEST_MAIN(DebBuildTest)
#include "tst_debbuild.moc"
