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
        QTest::newRow("missing") << "{W}/no" << "" << fails + "Каталог {W}/no не найден";
        QTest::newRow("file") << "{W}/DEBIAN/control" << "" << fails + "Каталог {W}/DEBIAN/control не найден";
        QTest::newRow("broken") << "{W}" << "no" << fails + "Ссылка {W}/usr/bin/x указывает на несуществующий объект";
        QTest::newRow("link loop") << "{W}" << "../.." << fails + "Ссылка {W}/usr/bin/x образует цикл";
        QTest::newRow("no DEBIAN") << "{W}/usr" << "" << fails + "Файл DEBIAN/control не найден";
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
        // What the editor leaves: blank scripts, DEBIAN 0745; one script without "#!".
        writeFile(work + "/DEBIAN/preinst", " \n\t\n");
        writeFile(work + "/DEBIAN/prerm", "echo\n");
        writeFile(work + "/DEBIAN/templates", "");
        // An ELF program needing libc6, which Depends does not name.
        QVERIFY(QFile::remove(work + "/usr/bin/mytool") && QFile::copy("/bin/true", work + "/usr/bin/mytool"));
        writeFile(work + "/DEBIAN/control", readFile(work + "/DEBIAN/control") + "Depends: python3 (>= 3) | pypy\n");
        ::chmod(QFile::encodeName(work + "/DEBIAN").constData(), 0745);
        writeFile(base + "/outside", "linked\n");
        QVERIFY(QFile::link(base + "/outside", work + "/usr/share/my/link"));
        QVERIFY(link.isEmpty() || QFile::link(link, work + "/usr/bin/x"));
        writeFile(dataDirectoryPath() + "/mytool", "/DEBIAN/control: 644\n/DEBIAN/postinst: 644\n"
                                                   "/DEBIAN/templates: 755\n/DEBIAN: 700\n/usr/share/my/stale: 600\n"
                                                   "/usr/share/my/key: 600\n/usr/share/my/a: b: 640\n"
                                                   "no separator\n/usr/bin/mytool: 9\n/../../etc/passwd: 600\n");
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir.replace("{W}", work));
        window.ui->lineEditDebDir->setText(output);
        FakeDialogs dialogs;
        const QByteArray control = readFile(work + "/DEBIAN/control");
        window.buidDeb();
        // The work directory is never changed by a build.
        QCOMPARE(readFile(work + "/DEBIAN/control"), control);
        QVERIFY(!QFileInfo::exists(work + "/DEBIAN/md5sums"));
        const QString shown = dialogs.take().join("\n---\n");
        QVERIFY2(shown.startsWith(box.replace("{W}", work)), qPrintable(shown));
        QVERIFY(QDir(tmp).isEmpty() && !QFileInfo::exists("pwned") && !QFileInfo::exists("/tmp/mytool"));
        const bool built = box.startsWith("information");
        QCOMPARE(QDir(output).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 built ? QStringList{"mytool_1.0_all.deb"} : QStringList());
        if (!built)
            return;
        for (const char *note : {"DEBIAN/control: нет поля «Description»", "stale: 600", "no separator", "mytool: 9", "passwd: 600",
                                 "(права в пакете: 755): /DEBIAN/postinst: 644",
                                 "(права в пакете: 644): /DEBIAN/templates: 755", "(права в пакете: 755): /DEBIAN: 700",
                                 "Пустой сценарий DEBIAN/preinst не включён в пакет",
                                 "Сценарий DEBIAN/prerm не начинается со строки «#!»"})
            QVERIFY2(shown.contains(note), note);
        QVERIFY2(!shown.contains("/DEBIAN/control: 644") && !shown.contains("postrm"), qPrintable(shown));
        // lintian, on by default, reports last: counts, then its tags.
        QVERIFY2(shown.contains(QRegularExpression("\n\nПроверка lintian: ошибок — [1-9]\\d*, предупреждений — \\d+\\.\n"
                                                   "(.*\n)*E: mytool: no-copyright-file")),
                 qPrintable(shown));
        const QString package = output + "/mytool_1.0_all.deb";
        QStringList modes = runProcess("dpkg-deb", {"--contents", package}).standardOutput.split('\n');
        modes.replaceInStrings(QRegularExpression(" \\S+ +\\d+ \\S+ \\S+ "), " ").sort(); // owner, size, date, time
        QCOMPARE(modes.join('|'), "|-rw------- ./usr/share/my/key|-rw-r----- ./usr/share/my/a: b|"
                                  "-rwxr-xr-x ./usr/bin/mytool|-rwxr-xr-x ./usr/share/my/link|drwxr-xr-x ./|"
                                  "drwxr-xr-x ./scratch/|drwxr-xr-x ./usr/|drwxr-xr-x ./usr/bin/|"
                                  "drwxr-xr-x ./usr/share/|drwxr-xr-x ./usr/share/empty/|drwxr-xr-x ./usr/share/my/");
        // control and the other files at 0644 (no "*"), the scripts executable,
        // md5sums and Installed-Size made from the staged data.
        const QString info = runProcess("dpkg-deb", {"--info", package}).standardOutput;
        QStringList members = info.split('\n').filter(QRegularExpression("^ +\\d+ bytes")).replaceInStrings(
            QRegularExpression("^ +\\d+ bytes, +\\d+ lines +| +$"), "");
        QCOMPARE(members, QStringList({"control", "md5sums", "*  postinst             #!/bin/sh", "*  prerm", "templates"}));
        QVERIFY2(shown.contains(QRegularExpression("нет в поле Depends: libc6\\.\nСтрока для DEBIAN/control:\n"
                                                   "Depends: python3 \\(>= 3\\) \\| pypy, libc6 \\(>= [0-9.]+\\)(\n|$)")),
                 qPrintable(shown));
        const QString extracted = root.path() + "/extracted " + QTest::currentDataTag();
        QVERIFY(runProcess("dpkg-deb", {"-R", package, extracted}).succeeded());
        QProcess md5sum;
        md5sum.setWorkingDirectory(extracted);
        md5sum.start("md5sum", {"-c", "DEBIAN/md5sums"});
        QVERIFY(md5sum.waitForFinished() && md5sum.exitCode() == 0);
        QCOMPARE(md5sum.readAllStandardOutput().count('\n'), 4);
        qint64 bytes = 0;
        for (QDirIterator it(extracted + "/usr", QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            bytes += QFileInfo(it.next()).size();
        QVERIFY2(info.contains(QString(" Installed-Size: %1\n").arg(bytes / 1024)), qPrintable(info));
    }
};

QTEST_MAIN(DebBuildTest)
#include "tst_debbuild.moc"
