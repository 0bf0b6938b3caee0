// The package documents made from DEBIAN/control through the main window's button.
#include "app/bexlorwindow.h"
#include "common/processrunner.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

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
        QTest::addColumn<bool>("existing");      // a copyright file is there already
        QTest::addColumn<bool>("answer");        // to the question about replacing it
        QTest::addColumn<QString>("box");        // the last box shown
        const QByteArray good = "Package: My-Tool\nVersion: 2:1.0~rc1-3\nArchitecture: all\n"
                                "Maintainer: Пётр Иванов <p@example.net>\n";
        const QString done = "information: Выполнено! / Документы пакета созданы:\n";
        QTest::newRow("new") << good << false << false << done;
        QTest::newRow("replace: yes") << good << true << true << done;
        QTest::newRow("replace: no") << good << true << false << "question: Документы пакета / Эти файлы уже есть";
        QTest::newRow("no control") << QByteArray() << false << false
                                    << "critical: Ошибка / Файл DEBIAN/control не найден";
        QTest::newRow("no Maintainer") << QByteArray("Package: t\nVersion: 1\n") << false << false
                                       << "critical: Ошибка / В файле DEBIAN/control нет поля «Maintainer»";
        QTest::newRow("no Version") << QByteArray("Package: t\nMaintainer: a <a@b.c>\n") << false << false
                                    << "critical: Ошибка / В файле DEBIAN/control нет поля «Version»";
        QTest::newRow("climbing name") << QByteArray("Package: ../../t\nVersion: 1\nMaintainer: a <a@b.c>\n") << false
                                       << false << "critical: Ошибка / Имя пакета «../../t»";
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
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        dialogs.answers.enqueue(answer);
        window.ui->pushButtonDocs->click();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.last().startsWith(box), qPrintable(shown.join('\n')));
        if (!box.startsWith("information")) {
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
        const qint64 stamp = QRegularExpression("Timestamp: (\\d+)").match(parsed.standardOutput).captured(1).toLongLong();
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
