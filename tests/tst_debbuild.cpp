// The package build through the real fakeroot and dpkg-deb, with a private
// temporary directory per test so that leftovers of the staging copy show.
#include "app/bexlorwindow.h"
#include "common/buildresult.h"
#include "common/paths.h"
#include "package/debbuild.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray control = "Package: mytool\nVersion: 1.0\nArchitecture: all\n"
                           "Maintainer: Тест <t@example.org>\nDescription: test\n";

unsigned modeOf(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

void setMode(const QString &path, unsigned mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

QString dpkgDeb(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("dpkg-deb"), arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// "mode path" for each entry of the package's data part, e.g. "-rwxr-xr-x ./usr/bin/mytool".
QStringList contents(const QString &package)
{
    QStringList entries;
    for (const QString &line : dpkgDeb({QStringLiteral("--contents"), package}).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 6)
            entries << fields.first() + QLatin1Char(' ') + fields.mid(5).join(QLatin1Char(' '));
    }
    entries.sort();
    return entries;
}

} // namespace

class DebBuildTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;
    QString base;    // per test, holds everything below
    QString tmp;     // TMPDIR during the test
    QString work;    // the work directory
    QString output;  // the package output directory
    QString outside; // a file outside the work directory that links point to

    void makeTree()
    {
        writeFile(work + QStringLiteral("/DEBIAN/control"), control);
        writeFile(work + QStringLiteral("/DEBIAN/postinst"), "#!/bin/sh\nexit 0\n");
        writeFile(work + QStringLiteral("/usr/bin/mytool"), "#!/bin/sh\necho hi\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/key"), "secret\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/a: b.txt"), "colon\n");
        writeFile(work + QStringLiteral("/usr/share/mytool/.hidden"), "h\n");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/usr/share/empty")));
        writeFile(outside, "linked\n");
        QVERIFY(QFile::link(outside, work + QStringLiteral("/usr/share/mytool/link")));
        setMode(work + QStringLiteral("/DEBIAN/control"), 0644);
        setMode(work + QStringLiteral("/usr/share/mytool/key"), 0644);
    }

    QStringList leftovers() const
    {
        return QDir(tmp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QStringList packages() const { return QDir(output).entryList({QStringLiteral("*.deb")}, QDir::Files); }

    BuildResult build(const QString &workDir)
    {
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir);
        window.ui->lineEditDebDir->setText(output);
        FakeDialogs dialogs;
        window.buidDeb();
        if (dialogs.shown.size() != 1)
            return BuildResult::failure(QStringLiteral("%1 boxes").arg(dialogs.shown.size()));
        return {dialogs.last().kind == QStringLiteral("information"), dialogs.last().text};
    }

private slots:
    void init()
    {
        static int count = 0;
        base = root.path() + QStringLiteral("/сборка %1 $(touch pwned); 'q'").arg(++count);
        tmp = base + QStringLiteral("/tmp");
        work = base + QStringLiteral("/work $(touch pwned) dir/mytool");
        output = base + QStringLiteral("/out $(touch pwned2) деб");
        outside = base + QStringLiteral("/outside.txt");
        QVERIFY(QDir().mkpath(tmp));
        QVERIFY(QDir().mkpath(output));
        QVERIFY(QDir().mkpath(dataDirectoryPath()));
        QFile::remove(dataDirectoryPath() + QStringLiteral("/mytool"));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        makeTree();
    }

    void cleanup() { qunsetenv("TMPDIR"); }

    void buildsWithRecordedModes()
    {
        writeFile(dataDirectoryPath() + QStringLiteral("/mytool"),
                  "/DEBIAN/control: 644\n"
                  "/usr/share/mytool/stale: 600\n"
                  "/usr/share/mytool/key: 600\n"
                  "/usr/share/mytool/a: b.txt: 640\n"
                  "no separator\n"
                  "/../../etc/passwd: 600\n");
        const BuildResult result = build(work);
        QVERIFY2(result.success, qPrintable(result.message));
        QVERIFY(result.message.startsWith(
            QStringLiteral("Команда сборки завершена.\n\nПредупреждения при сборке:\n")));
        for (const QString &line : {QStringLiteral("/usr/share/mytool/stale: 600"), QStringLiteral("no separator"),
                                    QStringLiteral("/../../etc/passwd: 600")})
            QVERIFY2(result.message.contains(line), qPrintable(result.message));

        QCOMPARE(packages(), QStringList{QStringLiteral("mytool_1.0_all.deb")});
        const QString package = output + QStringLiteral("/mytool_1.0_all.deb");
        QCOMPARE(contents(package), (QStringList{
                                        QStringLiteral("-rw------- ./usr/share/mytool/key"),
                                        QStringLiteral("-rw-r----- ./usr/share/mytool/a: b.txt"),
                                        QStringLiteral("-rwxr-xr-x ./usr/bin/mytool"),
                                        QStringLiteral("-rwxr-xr-x ./usr/share/mytool/.hidden"),
                                        QStringLiteral("-rwxr-xr-x ./usr/share/mytool/link"),
                                        QStringLiteral("drwxr-xr-x ./"),
                                        QStringLiteral("drwxr-xr-x ./usr/"),
                                        QStringLiteral("drwxr-xr-x ./usr/bin/"),
                                        QStringLiteral("drwxr-xr-x ./usr/share/"),
                                        QStringLiteral("drwxr-xr-x ./usr/share/empty/"),
                                        QStringLiteral("drwxr-xr-x ./usr/share/mytool/"),
                                    }));
        // The control file got its recorded 0644 back, the script kept 0755.
        const QString info = dpkgDeb({QStringLiteral("--info"), package});
        QVERIFY2(QRegularExpression(QStringLiteral("\\n\\s+\\d+ bytes,\\s+\\d+ lines\\s+control")).match(info).hasMatch(),
                 qPrintable(info));
        QVERIFY2(QRegularExpression(QStringLiteral("\\n\\s+\\d+ bytes,\\s+\\d+ lines\\s+\\*\\s+postinst")).match(info).hasMatch(),
                 qPrintable(info));

        // The work directory is left as it was; the staging copy is gone; no shell ran.
        QCOMPARE(modeOf(work + QStringLiteral("/usr/share/mytool/key")), 0644u);
        QVERIFY(QFileInfo(work + QStringLiteral("/usr/share/mytool/link")).isSymLink());
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(!QFileInfo::exists(QStringLiteral("pwned")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("pwned2")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/mytool")));
    }

    void trailingSlashUsesLastName()
    {
        writeFile(dataDirectoryPath() + QStringLiteral("/mytool"), "/usr/bin/mytool: 700\n");
        const BuildResult result = build(work + QStringLiteral("//"));
        QVERIFY2(result.success, qPrintable(result.message));
        QVERIFY(contents(output + QStringLiteral("/mytool_1.0_all.deb"))
                    .contains(QStringLiteral("-rwx------ ./usr/bin/mytool")));
        QCOMPARE(leftovers(), QStringList());
    }

    void temporaryDirectoryInsideWorkDirectory()
    {
        tmp = work + QStringLiteral("/scratch");
        QVERIFY(QDir().mkpath(tmp));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        const BuildResult result = build(work);
        QVERIFY2(result.success, qPrintable(result.message));
        const QStringList entries = contents(output + QStringLiteral("/mytool_1.0_all.deb"));
        QVERIFY(entries.contains(QStringLiteral("drwxr-xr-x ./scratch/")));
        QCOMPARE(entries.filter(QStringLiteral("./scratch/")).size(), 1);
        QCOMPARE(leftovers(), QStringList());
    }

    void refusesBadLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("broken") << QStringLiteral("/usr/bin/gone") << QStringLiteral("nowhere")
                                << QStringLiteral("указывает на несуществующий объект");
        QTest::newRow("self") << QStringLiteral("/usr/bin/self") << QStringLiteral("self")
                              << QStringLiteral("образует цикл");
        QTest::newRow("to ancestor") << QStringLiteral("/usr/share/mytool/up") << QStringLiteral("../..")
                                     << QStringLiteral("образует цикл");
    }

    void refusesBadLinks()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QVERIFY(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(work + link).constData()) == 0);
        const BuildResult result = build(work);
        QVERIFY(!result.success);
        QCOMPARE(result.message,
                 QStringLiteral("Ошибка при сборке проекта:\nСсылка %1 %2").arg(work + link, message));
        QCOMPARE(packages(), QStringList());
        QCOMPARE(leftovers(), QStringList());
    }

    void refusesSpecialFiles()
    {
        // Opening a named pipe for copying would wait for a writer forever.
        const QString fifo = work + QStringLiteral("/usr/bin/pipe");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        const BuildResult result = build(work);
        QVERIFY(!result.success);
        QCOMPARE(result.message, QStringLiteral("Ошибка при сборке проекта:\n%1 не является ни обычным файлом, ни каталогом")
                                     .arg(fifo));
        QCOMPARE(leftovers(), QStringList());
    }

    void reportsToolFailure()
    {
        QVERIFY(QFile::remove(work + QStringLiteral("/DEBIAN/control")));
        const BuildResult result = build(work);
        QVERIFY(!result.success);
        QVERIFY2(result.message.startsWith(QStringLiteral("Ошибка при сборке проекта:\ndpkg-deb")),
                 qPrintable(result.message));
        QCOMPARE(leftovers(), QStringList());
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("outputDir");
        QTest::addColumn<QString>("message");
        const QString forDeb = QStringLiteral("Необходимо выбрать каталог для deb-файла");
        const QString forProject = QStringLiteral("Необходимо выбрать каталог с проектом");
        QTest::newRow("both empty") << QString() << QString() << forDeb;
        QTest::newRow("output empty") << QStringLiteral("{W}") << QString() << forDeb;
        QTest::newRow("work empty") << QString() << QStringLiteral("{O}") << forProject;
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("{O}") << forProject;
        QTest::newRow("dot dot") << QStringLiteral("{W}/..") << QStringLiteral("{O}") << forProject;
        QTest::newRow("output is a file")
            << QStringLiteral("{W}") << QStringLiteral("{W}/usr/bin/mytool")
            << QStringLiteral("Ошибка при сборке проекта:\nКаталог для deb-файла {W}/usr/bin/mytool не найден");
        QTest::newRow("missing work dir")
            << QStringLiteral("{W}/nothing") << QStringLiteral("{O}")
            << QStringLiteral("Ошибка при сборке проекта:\nНе удалось прочитать каталог {W}/nothing: No such file or directory");
        QTest::newRow("work dir is a file")
            << QStringLiteral("{W}/usr/bin/mytool") << QStringLiteral("{O}")
            << QStringLiteral("Ошибка при сборке проекта:\n{W}/usr/bin/mytool не является каталогом");
    }

    void refuses()
    {
        QFETCH(QString, workDir);
        QFETCH(QString, outputDir);
        QFETCH(QString, message);
        const auto expand = [this](QString text) {
            return text.replace(QStringLiteral("{W}"), work).replace(QStringLiteral("{O}"), output);
        };
        const QByteArray script = readFile(work + QStringLiteral("/usr/bin/mytool"));
        const BuildResult result = buildPackage(expand(workDir), expand(outputDir));
        QVERIFY(!result.success);
        QCOMPARE(result.message, expand(message));
        QCOMPARE(readFile(work + QStringLiteral("/usr/bin/mytool")), script);
        QCOMPARE(packages(), QStringList());
        QCOMPARE(leftovers(), QStringList());
    }

    void parsesAccessLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<int>("skipped");
        QTest::newRow("plain") << QStringLiteral("/DEBIAN/control: 644\n/usr/bin/x: 4755\n")
                               << QStringLiteral("/DEBIAN/control=644 /usr/bin/x=4755") << 0;
        QTest::newRow("colon in path, CR LF, blank line")
            << QStringLiteral("/a: b: 600\r\n\n/c: 0640  \n") << QStringLiteral("/a: b=600 /c=640") << 0;
        QTest::newRow("bad lines alone skipped")
            << QStringLiteral("/x 644\n/y: 9\n/z: 0o644\n/w: 17777\nrel: 644\n/a/../../b: 600\n/ok: 700\n/q:\n")
            << QStringLiteral("/ok=700") << 7;
    }

    void parsesAccessLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, rules);
        QFETCH(int, skipped);
        const AccessRules parsed = parseAccessRights(text);
        QStringList got;
        for (const AccessRule &rule : parsed.rules)
            got << rule.path + QLatin1Char('=') + QString::number(rule.mode, 8);
        QCOMPARE(got.join(QLatin1Char(' ')), rules);
        QCOMPARE(parsed.skipped.size(), skipped);
    }
};

QTEST_MAIN(DebBuildTest)
#include "tst_debbuild.moc"
