// Reproducible builds: the same inputs, copied to two directories under another umask, time zone and locale, give
// the same bytes, and other inputs do not; the build's own check says which, and where they differ.
#include "common/processrunner.h"
#include "exebuild/exebuild.h"
#include "package/debbuild/debbuild.h"
#include "support/testenv.h"

#include <QDirIterator>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The environment of one of the two builds: its umask, time zone and locale.
struct Conditions
{
    mode_t umask;
    const char *tz;
    const char *locale;
};
const Conditions conditions[] = {{022, "UTC", "C.UTF-8"}, {077, "Pacific/Chatham", "C"}};

} // namespace

class ReproducibleTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    QTemporaryDir m_root;

    // A work directory at path, made under the umask: a control file, a program, a configuration file and a
    // document; changed alters the document.
    static void makeWork(const QString &path, mode_t umask, bool changed)
    {
        const mode_t previous = ::umask(umask);
        writeFile(path + "/DEBIAN/control", "Package: tool\nVersion: 1.0-1\nArchitecture: all\nMaintainer: T "
                                            "<t@example.org>\nDescription: small tool\n Does one thing.\n");
        writeFile(path + "/usr/bin/tool", "#!/bin/sh\necho 'Usage: tool'\n");
        writeFile(path + "/etc/tool.conf", "a = 1\n");
        writeFile(path + "/usr/share/tool/data", changed ? "other\n" : "data\n");
        QVERIFY(::chmod(QFile::encodeName(path + "/usr/bin/tool").constData(), 0755 & ~umask) == 0);
        ::umask(previous);
    }

    // bexlor-build with arguments under the conditions, with one SOURCE_DATE_EPOCH; standard error on failure.
    QString run(const QStringList &arguments, const Conditions &under)
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SOURCE_DATE_EPOCH", "1700000000");
        environment.insert("TZ", under.tz);
        environment.insert("LC_ALL", under.locale);
        environment.insert("HOME", m_home.path());
        program.setProcessEnvironment(environment);
        program.start("/bin/sh",
                      QStringList{"-c", QString("umask %1 && exec \"$0\" \"$@\"").arg(under.umask, 3, 8, QChar('0')),
                                  qEnvironmentVariable("BEXLOR_BUILD")}
                          + arguments);
        if (!program.waitForFinished(120000) || program.exitCode() != 0)
            return program.readAllStandardError() + "\nexit " + QString::number(program.exitCode());
        return QString();
    }

    // A program of two modules in directory; changed alters the second.
    static void writeProgram(const QString &directory, bool changed)
    {
        writeFile(directory + "/main.py", "import helper\nprint(helper.greet('world'))\n");
        writeFile(directory + "/helper.py",
                  QByteArray("def greet(name):\n    return '") + (changed ? "Hi, " : "Hello, ") + "' + name\n");
    }

    // The bytes a build made below root, file by file in name order, each after its name below root.
    static QByteArray outputs(const QString &root)
    {
        QStringList files;
        QDirIterator walk(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (walk.hasNext())
            files << walk.next();
        files.sort();
        QByteArray bytes;
        for (const QString &file : qAsConst(files))
            bytes += file.mid(root.size()).toUtf8() + '\n' + readFile(file);
        return bytes;
    }

private slots:
    void sameInputsSameBytes_data()
    {
        QTest::addColumn<bool>("docs"); // bexlor-build docs on the work directory first
        QTest::addColumn<bool>("deb"); // then bexlor-build deb, whose package is the output; else the documents are
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("exe"); // bexlor-build exe on a program of two modules instead: the executable
        addRow("documents", true, false, false, false);
        addRow("package with its documents", true, true, false, false);
        addRow("package of another input", false, true, true, false);
        // The first build fills the object cache that the second takes its objects from.
        addRow("executable", false, false, false, true);
        addRow("executable of another input", false, false, true, true);
    }

    void sameInputsSameBytes()
    {
        QFETCH(bool, docs);
        QFETCH(bool, deb);
        QFETCH(bool, changed);
        QFETCH(bool, exe);
        QByteArray bytes[2];
        for (int i = 0; i < 2; ++i) {
            // Another directory, at another depth, for each build.
            const QString base = m_root.path() + "/" + QTest::currentDataTag() + (i ? "/b/deeper" : "/a");
            const QString work = base + "/tool", out = base + "/out";
            makeWork(work, conditions[i].umask, changed && i == 1);
            QVERIFY(QDir().mkpath(out));
            QStringList commands;
            if (docs)
                commands << "docs\n" + work + "\n--licence\nMIT";
            if (deb)
                commands << "deb\n" + work + "\n" + out;
            if (exe) {
                writeProgram(work, changed && i == 1);
                commands << "exe\n" + work + "/main.py\n--output-dir\n" + out + "\n--quiet";
            }
            for (const QString &command : qAsConst(commands)) {
                const QString failed = run(command.split('\n'), conditions[i]);
                QVERIFY2(failed.isEmpty(), qPrintable(failed));
            }
            bytes[i] = outputs(deb || exe ? out : work + "/usr/share");
            QVERIFY(!bytes[i].isEmpty());
            // Nothing names the machine, the account or where the build ran, in the package's archives either.
            QByteArray searched = bytes[i];
            for (const char *archive : {"--fsys-tarfile", "--ctrl-tarfile"})
                searched += runProcess("dpkg-deb", {archive, out + "/tool_1.0-1_all.deb"}).standardOutput.toUtf8();
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            for (const QByteArray &identity : {QByteArray(host), QFile::encodeName(base), qgetenv("LOGNAME")}) {
                if (identity.size() > 3 && identity != "root")
                    QVERIFY2(!searched.contains(identity), identity.constData());
            }
        }
        QCOMPARE(bytes[0] == bytes[1], !changed);
    }

    // The build's own check: the same bytes from the copy; and, when the copy differs (a cp that changes what
    // it copied), the first differing member of the package and the offset in it.
    void checkReproducible_data()
    {
        QTest::addColumn<QString>("copy"); // what the stand-in cp does after copying; empty: the real cp
        QTest::addColumn<QString>("verdict");
        addRow("same input", QString(),
               QString("Сборка воспроизводима: вторая сборка из копии в другом каталоге "
                       "(umask 077, TZ=BEX-13:45 (UTC+13:45), LC_ALL="));
        addRow("copy changed", QString("echo changed >> \"$last/usr/share/tool/data\""),
               QString("Сборка не воспроизводима: вторая сборка из копии в другом каталоге (umask 077, TZ=BEX-13:45 "
                       "(UTC+13:45), LC_ALL=C) дала другие байты. Первое различие: control.tar.xz, байт "));
    }

    void checkReproducible()
    {
        QFETCH(QString, copy);
        QFETCH(QString, verdict);
        const QString base = m_root.path() + "/check " + QTest::currentDataTag(), work = base + "/tool";
        makeWork(work, 022, false);
        QVERIFY(QDir().mkpath(base + "/out"));
        if (!copy.isEmpty()) {
            writeFile(base + "/cp", ("#!/bin/sh\nfor last; do :; done\n/bin/cp \"$@\" || exit\n" + copy).toUtf8());
            QVERIFY(::chmod(QFile::encodeName(base + "/cp").constData(), 0755) == 0);
            setToolForTesting("cp", base + "/cp");
        }
        const mode_t umask = ::umask(022);
        qputenv("LC_ALL", "C.UTF-8");
        const Result built = buildPackage(work, base + "/out", false, {}, true);
        ::umask(umask);
        clearToolsForTesting();
        QVERIFY2(built.success, qPrintable(built.message));
        QVERIFY2(built.message.contains(verdict), qPrintable(built.message));
        QCOMPARE(built.checkFailed, !copy.isEmpty());
        // The message says which date both builds had; diffoscope, when installed, explains the difference.
        QVERIFY(built.message.contains("SOURCE_DATE_EPOCH не задана: обе сборки сделаны с SOURCE_DATE_EPOCH="));
        QVERIFY(!qEnvironmentVariableIsSet("SOURCE_DATE_EPOCH"));
        if (!copy.isEmpty() && !toolPath("diffoscope").isEmpty())
            QVERIFY2(built.details.contains("usr/share/tool/data"), qPrintable(built.details));
        QVERIFY(QFileInfo::exists(base + "/out/tool_1.0-1_all.deb"));
        QCOMPARE(entries(base + "/out").size(), 1);
    }

    // The executable build's check: the same bytes from a copy built without the cache; a copy that differs is
    // named by the ELF section and the offset in it, and the executable stays.
    void checkReproducibleExe_data()
    {
        QTest::addColumn<QString>("copy");
        QTest::addColumn<QString>("verdict");
        addRow("same input", QString(), QString("Сборка воспроизводима: вторая сборка из копии в другом каталоге"));
        addRow("copy changed", QString("sed -i s/Hello/Howdy/ \"$last/helper.py\""),
               QString("дала другие байты. Первое различие: раздел ."));
    }

    void checkReproducibleExe()
    {
        QFETCH(QString, copy);
        QFETCH(QString, verdict);
        const QString base = m_root.path() + "/check exe " + QTest::currentDataTag();
        writeProgram(base + "/program", false);
        if (!copy.isEmpty()) {
            writeFile(base + "/cp", ("#!/bin/sh\nfor last; do :; done\n/bin/cp \"$@\" || exit\n" + copy).toUtf8());
            QVERIFY(::chmod(QFile::encodeName(base + "/cp").constData(), 0755) == 0);
            setToolForTesting("cp", base + "/cp");
        }
        ExecutableBuild build;
        build.runtime = systemRuntime(), build.projectDir = base + "/program", build.script = base + "/program/main.py";
        build.binaryDir = base, build.binaryName = "greet", build.checkReproducible = true;
        const Result built = buildExecutable(build);
        clearToolsForTesting();
        QVERIFY2(built.success, qPrintable(built.message));
        QVERIFY2(built.message.contains(verdict), qPrintable(built.message));
        QCOMPARE(built.checkFailed, !copy.isEmpty());
        QCOMPARE(runProcess(base + "/greet", {}).standardOutput, QString("Hello, world\n"));
    }
};

QTEST_GUILESS_MAIN(ReproducibleTest)
#include "tst_reproducible.moc"
