// The package documents made from DEBIAN/control through the main window's button.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

#include <unistd.h>

class PackageDocsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void createsDocs_data()
    {
        QTest::addColumn<QByteArray>("control"); // empty: no control file
        QTest::addColumn<bool>("existing"); // a copyright file is there already
        QTest::addColumn<bool>("answer"); // to the question about replacing it
        QTest::addColumn<QString>("box"); // the last box shown
        const QByteArray good = "Package: My-Tool\nVersion: 2:1.0~rc1-3\nArchitecture: all\n"
                                "Maintainer: Пётр Иванов <p@example.net>\n";
        const QString done = "information: Выполнено! / Документы пакета созданы:\n";
        addRow("new", good, false, false, done);
        addRow("replace: yes", good, true, true, done);
        addRow("replace: no", good, true, false, "question: Документы пакета / Эти файлы уже есть");
        addRow("no control", QByteArray(), false, false, "critical: Ошибка / Файл DEBIAN/control не найден");
        addRow("no Maintainer", QByteArray("Package: t\nVersion: 1\n"), false, false,
               "critical: Ошибка / В файле DEBIAN/control нет поля «Maintainer»");
        addRow("no Version", QByteArray("Package: t\nMaintainer: a <a@b.c>\n"), false, false,
               "critical: Ошибка / В файле DEBIAN/control нет поля «Version»");
        // Hostile work directories: nothing may be written outside it, nothing half-written.
        addRow("linked usr/share", good, false, false,
               "critical: Ошибка / Не удалось создать документы пакета:\n{W}/usr/share - символическая ссылка");
        addRow("control a FIFO", good, false, false,
               "critical: Ошибка / {W}/DEBIAN/control не является обычным файлом");
        addRow("full disk", good, false, false,
               "critical: Ошибка / Не удалось создать документы пакета:\nНе удалось записать файл");
        addRow("climbing name", QByteArray("Package: ../../t\nVersion: 1\nMaintainer: a <a@b.c>\n"), false, false,
               "critical: Ошибка / Имя пакета «../../t»");
        // Fields inserted verbatim must not break the documents' format.
        const QString field = "critical: Ошибка / Поле «%1» в файле DEBIAN/control ";
        addRow("Maintainer over two lines",
               QByteArray(
                   "Package: t\nVersion: 1\nMaintainer: a <a@b.c>\n -- e <e@f.g>  Mon, 01 Jan 2024 00:00:00 +0000\n"),
               false, false, field.arg("Maintainer") + "занимает несколько строк");
        addRow("Version closing the heading",
               QByteArray("Package: t\nVersion: 1.0) unstable; urgency=high\nMaintainer: a <a@b.c>\n"), false, false,
               field.arg("Version") + "недопустимо: «1.0) unstable; urgency=high»");
        addRow("Maintainer without an address", QByteArray("Package: t\nVersion: 1\nMaintainer: a\n"), false, false,
               field.arg("Maintainer") + "недопустимо");
        addRow("dpkg-parsechangelog warns", good, false, false,
               "critical: Ошибка / Не удалось создать документы пакета:\ndpkg-parsechangelog не принимает changelog, "
               "составленный по DEBIAN/control:\nwarning: changelog.Debian(l1)");
    }

    void createsDocs()
    {
        QFETCH(QByteArray, control);
        QFETCH(bool, existing);
        QFETCH(bool, answer);
        QFETCH(QString, box);
        const QString work = root.path() + "/" + QTest::currentDataTag() + " $x 'q'/my-tool";
        const QString doc = work + "/usr/share/doc/my-tool/";
        QVERIFY(QDir().mkpath(work + "/DEBIAN"));
        if (!control.isEmpty())
            writeFile(work + "/DEBIAN/control", control);
        if (existing)
            writeFile(doc + "copyright", "old\n");
        const QString tag = QTest::currentDataTag(), outside = root.path() + "/" + tag + " outside";
        if (tag == "linked usr/share")
            QVERIFY(QDir().mkpath(outside) && QDir().mkpath(work + "/usr")
                    && QFile::link(outside, work + "/usr/share"));
        if (tag == "control a FIFO")
            QVERIFY(QFile::remove(work + "/DEBIAN/control")
                    && QProcess::execute("mkfifo", {work + "/DEBIAN/control"}) == 0);
        if (tag == "dpkg-parsechangelog warns") {
            writeFile(root.path() + "/parse", "#!/bin/sh\necho \"warning: $2(l1)\" >&2\n");
            QVERIFY(QFile::setPermissions(root.path() + "/parse", QFile::ReadOwner | QFile::ExeOwner));
            setToolForTesting("dpkg-parsechangelog", root.path() + "/parse");
        }
        if (tag == "full disk") {
            if (::geteuid() != 0)
                QSKIP("A full disk needs a small tmpfs, which only root can mount");
            QVERIFY(QDir().mkpath(doc)
                    && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8k", "tmpfs", doc}) == 0);
            QFile filler(doc + "filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(1024, 'x')) > 0 && filler.flush()) { }
        }
        const auto unmount = qScopeGuard([&] {
            clearToolsForTesting();
            if (tag == "full disk")
                QProcess::execute("umount", {"-l", doc});
        });
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        dialogs.answers.enqueue(answer);
        window.ui->pushButtonDocs->click();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.last().startsWith(box.replace("{W}", work)), qPrintable(shown.join('\n')));
        if (!box.startsWith("information")) {
            QVERIFY(QDir(outside).isEmpty());
            if (tag == "full disk") // no temporary file left beside the target
                QCOMPARE(QDir(doc).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});
            QCOMPARE(readFile(doc + "copyright"), QByteArray(existing ? "old\n" : ""));
            QVERIFY(!QFileInfo::exists(doc + "changelog.Debian.gz"));
            return;
        }
        const QByteArray gz = readFile(doc + "changelog.Debian.gz");
        // gzip -9n: no name, no time stamp, maximum compression.
        QVERIFY(gz.size() > 10 && gz.at(3) == 0 && gz.mid(4, 4) == QByteArray(4, 0) && gz.at(8) == 2);
        QProcess gunzip;
        gunzip.start("gzip", {"-dc", doc + "changelog.Debian.gz"});
        QVERIFY(gunzip.waitForFinished());
        writeFile(work + "/changelog", gunzip.readAllStandardOutput());
        const ProcessResult parsed = runProcess("dpkg-parsechangelog", {"-l", work + "/changelog"});
        QVERIFY2(parsed.succeeded() && parsed.standardError.isEmpty(), qPrintable(parsed.standardError));
        for (const QString &line : QStringList{"Source: my-tool", "Version: 2:1.0~rc1-3", "Distribution: unstable",
                                               "Maintainer: Пётр Иванов <p@example.net>"})
            QVERIFY2(parsed.standardOutput.contains(line), qPrintable(parsed.standardOutput));
        const qint64 stamp =
            QRegularExpression("Timestamp: (\\d+)").match(parsed.standardOutput).captured(1).toLongLong();
        QVERIFY(qAbs(stamp - QDateTime::currentSecsSinceEpoch()) < 600);
        const QString copyright = readFile(doc + "copyright");
        QVERIFY2(copyright.startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                                      "Upstream-Name: my-tool\nUpstream-Contact: Пётр Иванов <p@example.net>\n")
                     && copyright.contains(QString("\nCopyright: %1 Пётр").arg(QDate::currentDate().year())),
                 qPrintable(copyright));
        QCOMPARE(readFile(work + "/usr/share/lintian/overrides/my-tool").split('\n').at(1),
                 QByteArray("my-tool: initial-upload-closes-no-bugs"));
    }
};

QTEST_MAIN(PackageDocsTest)
#include "tst_packagedocs.moc"
