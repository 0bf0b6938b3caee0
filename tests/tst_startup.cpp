// Start-up through the real program, with HOME in a temporary directory.
#include "common/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class StartupTest : public QObject
{
    Q_OBJECT

private:
    // Starts the program with the given HOME and returns it once it has made
    // its data directory and entered the event loop (or has ended by itself).
    void start(QProcess &program, const QString &home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("BEXLOR_BINARY"), QStringList());
        QVERIFY(program.waitForStarted());
        program.waitForFinished(2000);
    }

    void stop(QProcess &program)
    {
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        QVERIFY(program.waitForFinished());
    }

private slots:
    void createsDataDirectoryAndParents()
    {
        QTemporaryDir home;
        QProcess program;
        start(program, home.path());
        stop(program);
        const QFileInfo data(home.path() + QStringLiteral("/.bexlor/builder"));
        QVERIFY(data.isDir());
        QCOMPARE(int(data.permissions() & 0x7777), int(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                   | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser
                                                   | QFile::ReadGroup | QFile::ExeGroup
                                                   | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/.config/bexlor-builder.ini")));

        // A second start leaves the directory and its content as they are.
        QFile kept(data.filePath() + QStringLiteral("/mytool"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("/usr/bin/mytool: 755\n");
        kept.close();
        const QDateTime modified = QFileInfo(data.filePath()).lastModified();
        QProcess again;
        start(again, home.path());
        stop(again);
        QCOMPARE(QFileInfo(data.filePath()).lastModified(), modified);
        QVERIFY(QFileInfo::exists(kept.fileName()));
    }

    void refusesToStartWithoutDataDirectory_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("file at ~/.bexlor") << QStringLiteral("/.bexlor");
        QTest::newRow("file at ~/.bexlor/builder") << QStringLiteral("/.bexlor/builder");
    }

    void refusesToStartWithoutDataDirectory()
    {
        QFETCH(QString, blocker);
        QTemporaryDir home;
        QDir().mkpath(QFileInfo(home.path() + blocker).path());
        QFile file(home.path() + blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QProcess program;
        start(program, home.path());
        QCOMPARE(program.state(), QProcess::NotRunning);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString diagnostic = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(diagnostic.contains(home.path() + blocker), qPrintable(diagnostic));
        QVERIFY(QFileInfo(home.path() + blocker).isFile());
    }

    void centresWithFloorDivision_data()
    {
        QTest::addColumn<QSize>("desktop");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("even") << QSize(1920, 1080) << QSize(800, 600) << 0 << 0 << QPoint(560, 240);
        QTest::newRow("odd") << QSize(1920, 1080) << QSize(801, 601) << 0 << 0 << QPoint(559, 239);
        QTest::newRow("editor") << QSize(1920, 1080) << QSize(800, 600) << 0 << -100 << QPoint(560, 140);
        QTest::newRow("shortcut") << QSize(1920, 1080) << QSize(800, 600) << 50 << -100 << QPoint(610, 140);
        QTest::newRow("removal") << QSize(1920, 1080) << QSize(800, 600) << 200 << 50 << QPoint(760, 290);
        QTest::newRow("larger by 3") << QSize(800, 600) << QSize(803, 603) << 0 << 0 << QPoint(-2, -2);
        QTest::newRow("larger by 4") << QSize(800, 600) << QSize(804, 1000) << 0 << 0 << QPoint(-2, -200);
    }

    void centresWithFloorDivision()
    {
        QFETCH(QSize, desktop);
        QFETCH(QSize, window);
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(QPoint, expected);
        QCOMPARE(centredPosition(desktop, window, dx, dy), expected);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
