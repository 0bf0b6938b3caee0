// Start-up through the real program, with HOME in a temporary directory.
#include "support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class StartupTest : public QObject
{
    Q_OBJECT

    // Starts the program with HOME as given; it is still running afterwards unless it stopped by itself.
    static void start(QProcess &program, const QString &home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("BEXLOR_BINARY"), QStringList());
        QVERIFY(program.waitForStarted());
        program.waitForFinished(2000);
    }

private slots:
    void createsDataDirectoryOnce()
    {
        QTemporaryDir home;
        const QString data = home.path() + QStringLiteral("/.bexlor/builder");
        QDateTime modified;
        for (int run = 0; run < 2; ++run) {
            QProcess program;
            start(program, home.path());
            QCOMPARE(program.state(), QProcess::Running);
            program.terminate();
            QVERIFY(program.waitForFinished());
            QVERIFY(QFileInfo(data).isDir());
            struct stat status;
            QCOMPARE(::stat(QFile::encodeName(data).constData(), &status), 0);
            const mode_t mask = ::umask(0);
            ::umask(mask);
            QCOMPARE(status.st_mode & 07777, 0755 & ~mask);
            QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/.config/bexlor-builder.ini")));
            if (run == 1)
                QCOMPARE(QFileInfo(data).lastModified(), modified);
            modified = QFileInfo(data).lastModified();
        }
    }

    void settingsLockOfAKilledSave_data()
    {
        QTest::addColumn<bool>("ownerRuns");
        QTest::newRow("owner gone") << false;
        QTest::newRow("owner running") << true;
    }

    // Qt's lock beside the settings file, left by a kill during a profile save, and the temporary the save renames
    // into place go at the next start once the lock's owner is gone, whatever its age; those of an instance still
    // saving stay, and so does a name of one case alone, which may be the user's.
    void settingsLockOfAKilledSave()
    {
        QFETCH(bool, ownerRuns);
        QTemporaryDir home;
        const QString path = home.path() + QStringLiteral("/.config/bexlor-builder.ini.lock");
        QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/.config")));
        QLockFile held(path);
        if (ownerRuns)
            QVERIFY(held.tryLock(0));
        else
            writeFile(path,
                      QString("%1\nbexlor-builder\n%2\n").arg(deadPid()).arg(QSysInfo::machineHostName()).toUtf8());
        const QString temporary = home.path() + "/.config/bexlor-builder.ini.qWeRty",
                      own = home.path() + "/.config/bexlor-builder.ini.backup";
        writeFile(temporary, "[cut]\n");
        writeFile(own, "[mine]\n");
        QProcess program;
        start(program, home.path());
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        QVERIFY(program.waitForFinished());
        QCOMPARE(QFileInfo::exists(path), ownerRuns);
        QVERIFY(QFileInfo::exists(temporary) == ownerRuns && QFileInfo::exists(own));
    }

    void stopsWhenAPathIsBlocked_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<bool>("fifo");
        addRow("file at ~/.bexlor", QStringLiteral("/.bexlor"), false);
        addRow("file at ~/.bexlor/builder", QStringLiteral("/.bexlor/builder"), false);
        addRow("settings file a FIFO", QStringLiteral("/.config/bexlor-builder.ini"), true);
        // Without a home nothing falls back to "/".
        addRow("HOME empty", QStringLiteral("empty"), false);
    }

    // The data directory cannot be made, the settings file would block, or there is no home.
    void stopsWhenAPathIsBlocked()
    {
        QFETCH(QString, blocker);
        QFETCH(bool, fifo);
        QTemporaryDir home;
        QProcess program;
        if (blocker.startsWith('/')) {
            QDir().mkpath(QFileInfo(home.path() + blocker).path());
            QFile file(home.path() + blocker);
            if (fifo)
                QCOMPARE(QProcess::execute("mkfifo", {file.fileName()}), 0);
            else
                QVERIFY(file.open(QIODevice::WriteOnly));
            start(program, home.path());
            blocker.prepend(home.path());
            QVERIFY(QFileInfo::exists(blocker));
        } else {
            start(program, QString());
            blocker = QStringLiteral("Переменная окружения HOME не задана");
            QVERIFY(!QFileInfo::exists("/.bexlor") && !QFileInfo::exists("/.config/bexlor-builder.ini"));
        }
        QCOMPARE(program.state(), QProcess::NotRunning);
        QCOMPARE(program.exitCode(), 1);
        QVERIFY(QString::fromUtf8(program.readAllStandardError()).contains(blocker));
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
