// bexlor-build through the real program and the real tools, without a display, in a temporary HOME.
#include "app/profilestore.h"
#include "app/settings.h"
#include "exebuild/scriptnames.h"
#include "support/testenv.h"

#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <signal.h>
#include <sys/stat.h>

class CliTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    QTemporaryDir m_root;

private slots:
    // Placeholders: {W} work directory, {O} output directory, {S} script in
    // {D}, {P} picture, {H} home, {B} the directory the program runs in, {R}
    // the last installed runtime. Every row starts from a fresh work directory with
    // a control file, usr/bin/mytool (0755) and a 2048-byte data file (0644),
    // and a profile "проект" naming that row's directories.
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("prepare"); // a change to the fixture before the run
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");  // part of standard error: the tools' output, then the message
        QTest::addColumn<QString>("output"); // part of standard output
        QTest::addColumn<QString>("file");   // must exist afterwards ("!" in front: must not)
        QTest::addColumn<QByteArray>("content"); // part of that file
        QTest::addColumn<QStringList>("verify"); // a command that must succeed afterwards, run in {W}

        const QString done = "Команда сборки завершена.\n\nПредупреждения при сборке:";
        const QString deb = "{O}/mytool_1.0_all.deb", debError = "Ошибка при сборке проекта:\n";
        const QString control = "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
                                "Description: x\nInstalled-Size: %1\n";
        const QString icon = "{W}/usr/share/icons/hicolor/16x16/apps/mytool.png";
        const QString saved = "{H}/.bexlor/builder/mytool";
        const QStringList none;

        // Executable build.
        QTest::newRow("exe") << QStringList{"exe", "{S}", "--output-dir", "{O}"} << "" << 0 << done << ""
                             << "!{D}/my_tool.py" << QByteArray() << QStringList{"{O}/my-tool"};
        QTest::newRow("exe, defaults") << QStringList{"exe", "{S}"} << "" << 0 << done << "" << "{B}/my-tool"
                                       << QByteArray() << QStringList{"{B}/my-tool"};
        QTest::newRow("exe, profile") << QStringList{"exe", "--profile", "проект"} << "" << 0 << done << ""
                                      << "{O}/из профиля" << QByteArray() << QStringList{"{O}/из профиля"};
        QTest::newRow("exe, arguments win") << QStringList{"exe", "--profile=проект", "--name", "своё",
                                                           "--runtime", "{R}", "{S}"}
                                            << "" << 0 << done << "" << "{O}/своё" << QByteArray()
                                            << QStringList{"{O}/своё"};
        QTest::newRow("exe, no script") << QStringList{"exe"} << "" << 1
                                        << "Необходимо выбрать каталог и файл .py" << "" << "" << QByteArray()
                                        << none;
        QTest::newRow("exe, directory") << QStringList{"exe", "{W}/"} << "" << 1
                                        << "Необходимо выбрать каталог и файл .py" << "" << "" << QByteArray()
                                        << none;
        QTest::newRow("exe, no name") << QStringList{"exe", "{S}", "--name="} << "" << 1
                                      << "Необходимо ввести имя бинарного файла" << "" << "" << QByteArray()
                                      << none;
        QTest::newRow("exe, translator fails") << QStringList{"exe", "{S}", "--output-dir", "{O}"}
                                               << "bad script" << 1 << "Ошибка при сборке файла .c:\n" << ""
                                               << "!{O}/my-tool" << QByteArray() << none;
        QTest::newRow("exe, compiler fails") << QStringList{"exe", "{S}", "--output-dir", "{O}", "--runtime",
                                                            "python0"}
                                             << "" << 1 << "Ошибка при сборке бинарного файла:\n" << ""
                                             << "!{D}/my_tool.py" << QByteArray() << none;
        QTest::newRow("exe, no tools") << QStringList{"exe", "{S}", "--output-dir", "{O}"} << "no tools" << 1
                                       << "Непредвиденная ошибка:\n" << "" << "!{D}/my_tool.py"
                                       << QByteArray() << none;
        QTest::newRow("exe, user's file at the copy") << QStringList{"exe", "{S}"} << "user copy" << 1
                                                      << "my_tool.py уже существует" << "" << "{D}/my_tool.py"
                                                      << QByteArray("mine") << none;

        // Package build.
        QTest::newRow("deb") << QStringList{"deb", "{W}", "{O}"} << ""
                             << 0 << "_all.deb'.\n" + done + "\ndpkg-deb: building package 'mytool' in '" + deb + "'."
                             << "" << deb << QByteArray() << QStringList{"dpkg-deb", "--info", deb};
        QTest::newRow("deb, profile") << QStringList{"deb", "--profile", "проект"} << "" << 0 << done << ""
                                      << deb << QByteArray() << none;
        QTest::newRow("deb, no output directory") << QStringList{"deb", "{W}"} << "" << 1
                                                  << "Необходимо выбрать каталог для deb-файла" << "" << ""
                                                  << QByteArray() << none;
        QTest::newRow("deb, no work directory") << QStringList{"deb", "", "{O}"} << "" << 1
                                                << "Необходимо выбрать каталог с проектом" << "" << ""
                                                << QByteArray() << none;
        QTest::newRow("deb, output missing") << QStringList{"deb", "{W}", "{O}/нет"} << "" << 1
                                             << debError + "Каталог для deb-файла {O}/нет не найден" << ""
                                             << "" << QByteArray() << none;
        QTest::newRow("deb, work directory missing") << QStringList{"deb", "{W}/нет", "{O}"} << "" << 1
                                                     << debError + "Каталог {W}/нет не найден" << ""
                                                     << "!" + deb << QByteArray() << none;
        QTest::newRow("deb, no control") << QStringList{"deb", "{W}", "{O}"} << "no control" << 1
                                         << debError + "Файл DEBIAN/control не найден" << "" << "!" + deb << QByteArray() << none;
        QTest::newRow("deb, lint") << QStringList{"deb", "{W}", "{O}", "--lint"} << "" << 0
                                   << "\n\nПроверка lintian: ошибок — "
                                   << "" << deb << QByteArray() << none;
        QTest::newRow("deb, terminated") << QStringList{"deb", "{W}", "{O}"} << "terminated" << 1
                                         << "\nОтменено пользователем\n" << "" << "!" + deb << QByteArray()
                                         << none;
        QTest::newRow("deb, no tools") << QStringList{"deb", "{W}", "{O}"} << "no tools" << 1
                                       << debError + "не удалось запустить fakeroot" << "" << "!" + deb
                                       << QByteArray() << none;

        // Checksums.
        QTest::newRow("md5sums") << QStringList{"md5sums", "{W}"} << "" << 0 << "" << "" << "{W}/DEBIAN/md5sums"
                                 << QByteArray("  usr/bin/mytool\n")
                                 << QStringList{"md5sum", "--check", "--strict", "DEBIAN/md5sums"};
        QTest::newRow("md5sums, profile") << QStringList{"md5sums", "--profile", "проект"} << "" << 0 << "" << ""
                                          << "{W}/DEBIAN/md5sums" << QByteArray("  usr/share/doc/mytool/data\n")
                                          << none;
        QTest::newRow("md5sums, no work directory") << QStringList{"md5sums"} << "" << 1
                                                    << "Необходимо выбрать каталог" << "" << "" << QByteArray()
                                                    << none;
        QTest::newRow("md5sums, no DEBIAN") << QStringList{"md5sums", "{W}"} << "no DEBIAN" << 1
                                            << "Файл md5sums не найден" << "" << "!{W}/DEBIAN" << QByteArray()
                                            << none;
        QTest::newRow("md5sums, line break in a name") << QStringList{"md5sums", "{W}"} << "line break" << 1
                                                       << "Имена этих файлов содержат перевод строки, в md5sums "
                                                          "их записать нельзя:\nusr/a\\nb"
                                                       << "" << "{W}/DEBIAN/md5sums" << QByteArray("usr/bin/mytool")
                                                       << none;
        QTest::newRow("md5sums, cannot write") << QStringList{"md5sums", "{W}"} << "md5sums directory" << 1
                                               << "Не удалось записать файл {W}/DEBIAN/md5sums: это каталог" << ""
                                               << "" << QByteArray() << none;

        // Installed size.
        QTest::newRow("size") << QStringList{"size", "{W}"} << "" << 0 << "" << "" << "{W}/DEBIAN/control"
                              << control.arg(2).toUtf8() << none;
        QTest::newRow("size, profile") << QStringList{"size", "--profile", "проект"} << "" << 0 << "" << ""
                                       << "{W}/DEBIAN/control" << control.arg(2).toUtf8() << none;
        QTest::newRow("size, no work directory") << QStringList{"size", ""} << "" << 1
                                                 << "Необходимо выбрать каталог" << "" << "" << QByteArray() << none;
        QTest::newRow("size, no control") << QStringList{"size", "{W}"} << "no control" << 1
                                          << "Файл {W}/DEBIAN/control не найден" << "" << ""
                                          << QByteArray() << none;
        QTest::newRow("size, control a FIFO") << QStringList{"size", "{W}"} << "fifo control" << 1
                                              << "{W}/DEBIAN/control не является обычным файлом"
                                              << "" << "" << QByteArray() << none;

        // Icons.
        QTest::newRow("icons") << QStringList{"icons", "{W}", "{P}"} << "" << 0 << "Файлы иконон созданы" << ""
                               << icon << QByteArray("PNG") << none;
        QTest::newRow("icons, profile") << QStringList{"icons", "--profile", "проект", "--picture", "{P}"} << ""
                                        << 0 << "Файлы иконон созданы" << "" << icon << QByteArray() << none;
        QTest::newRow("icons, no work directory") << QStringList{"icons"} << "" << 1
                                                  << "Необходимо выбрать каталог" << "" << "" << QByteArray() << none;
        QTest::newRow("icons, no picture") << QStringList{"icons", "{W}"} << "" << 1 << "Изображение не выбрано!"
                                           << "" << "!" + icon << QByteArray() << none;
        QTest::newRow("icons, not a picture") << QStringList{"icons", "{W}", "{W}/DEBIAN/control"} << "" << 1
                                              << "Не удалось загрузить изображение {W}/DEBIAN/control" << ""
                                              << "!" + icon << QByteArray() << none;

        // Access rights.
        QTest::newRow("access") << QStringList{"access", "{W}"} << "" << 0 << ""
                                << "/usr/bin/mytool: 755\n" << "!" + saved << QByteArray() << none;
        QTest::newRow("access, save") << QStringList{"access", "--save", "{W}"} << "" << 0 << ""
                                      << "/usr/share/doc/mytool/data: 644\n" << saved
                                      << QByteArray("/usr/bin/mytool: 755\n") << none;
        QTest::newRow("access, profile") << QStringList{"access", "--profile", "проект"} << "" << 0 << ""
                                         << "/DEBIAN/control: 644\n" << "" << QByteArray() << none;
        QTest::newRow("access, no work directory") << QStringList{"access"} << "" << 1
                                                   << "Необходимо выбрать каталог" << "" << "" << QByteArray()
                                                   << none;
        QTest::newRow("access, missing") << QStringList{"access", "{W}/нет"} << "" << 1
                                         << "Каталог {W}/нет не найден" << "" << "" << QByteArray() << none;
        QTest::newRow("access, data directory blocked") << QStringList{"access", "{W}", "--save"}
                                                        << "data blocked" << 1 << "{H}/.bexlor" << "" << ""
                                                        << QByteArray() << none;

        // Profiles, help and wrong usage.
        QTest::newRow("unknown profile") << QStringList{"size", "--profile", "нет"} << "" << 1
                                         << "Профиль «нет» не найден" << "" << "" << QByteArray() << none;
        QTest::newRow("help") << QStringList{"--help"} << "" << 0 << "" << "Коды завершения:\n  0" << "" << QByteArray()
                              << none;
        for (const char *command : {"exe", "deb", "md5sums", "size", "icons", "access"}) {
            QTest::newRow(qPrintable(QString("%1 --help").arg(command)))
                << QStringList{command, "{W}", "--help"} << "" << 0 << ""
                << QString("Использование: bexlor-build %1 ").arg(command) << "" << QByteArray() << none;
        }
        const QString usage = "\nСправка: bexlor-build --help";
        QTest::newRow("no command") << QStringList() << "" << 2 << usage << "" << "" << QByteArray() << none;
        QTest::newRow("unknown command") << QStringList{"build"} << "" << 2 << "неизвестная команда «build»" << ""
                                         << "" << QByteArray() << none;
        QTest::newRow("extra operand") << QStringList{"deb", "{W}", "{O}", "{O}"} << "" << 2 << "лишний аргумент"
                                       << "" << "!" + deb << QByteArray() << none;
        QTest::newRow("unknown option") << QStringList{"exe", "{S}", "--bogus"} << "" << 2
                                        << "неизвестный параметр «--bogus»" << "" << "" << QByteArray() << none;
        QTest::newRow("save elsewhere") << QStringList{"size", "{W}", "--save"} << "" << 2
                                        << "неизвестный параметр «--save»" << "" << "" << QByteArray() << none;
        QTest::newRow("option without value") << QStringList{"exe", "{S}", "--name"} << "" << 2
                                              << "у параметра --name нет значения" << "" << "" << QByteArray()
                                              << none;
        QTest::newRow("operand and option") << QStringList{"md5sums", "{W}", "--work-dir", "{W}"} << "" << 2
                                            << "--work-dir задан дважды" << "" << "" << QByteArray() << none;
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, prepare);
        QFETCH(int, code);
        QFETCH(QString, error);
        QFETCH(QString, output);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, verify);

        // Blanks, quotes, "$", ";" and Cyrillic letters in every path.
        const QString base = m_root.path() + "/запуск " + QTest::currentDataTag() + " $(touch pwned); 'q'";
        const QString work = base + "/work dir/mytool", out = base + "/out деб", source = base + "/src $x";
        const QString script = source + "/my-tool.py", picture = base + "/картинка.png";
        const auto fill = [&](QString text) {
            return text.replace("{W}", work).replace("{O}", out).replace("{S}", script).replace("{D}", source)
                .replace("{P}", picture).replace("{H}", m_home.path()).replace("{B}", base)
                .replace("{R}", installedRuntimes().value(installedRuntimes().size() - 1));
        };
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(work + "/usr/bin"));
        ::chmod(QFile::encodeName(work).constData(), 0755);
        writeFile(work + "/DEBIAN/control", "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
                                            "Description: x\nInstalled-Size: 7\n");
        writeFile(work + "/usr/bin/mytool", "#!/bin/sh\n");
        writeFile(work + "/usr/share/doc/mytool/data", QByteArray(2048, 'x'));
        for (const QString &path : {work + "/DEBIAN/control", work + "/usr/share/doc/mytool/data"})
            ::chmod(QFile::encodeName(path).constData(), 0644);
        ::chmod(QFile::encodeName(work + "/usr/bin/mytool").constData(), 0755);
        writeFile(script, prepare == "bad script" ? "def (:\n" : "print('привет')\n");
        QImage image(30, 10, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture));

        Profile profile;
        profile.projectDir = source;
        profile.py = script;
        profile.outputC = source + "/my_tool.c";
        profile.binaryDir = out;
        profile.binary = "из профиля";
        profile.projectDirDeb = work;
        profile.debDir = out;
        QVERIFY(saveProfile("проект", profile).success);
        settings().sync();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("HOME", m_home.path());
        const QString data = m_home.path() + "/.bexlor";
        QFile::remove(data);
        QVERIFY(QDir(data).removeRecursively() && QDir().mkpath(data + "/builder"));
        const QString tools = base + "/tools", pid = tools + "/pid";
        if (prepare == "no tools") {
            environment.insert("PATH", base + "/empty");
        } else if (prepare == "terminated") {
            // A packer that hangs until it is ended, and a temporary directory to show the staging copy.
            writeFile(tools + "/fakeroot", "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/pid\"\necho packing >&2\n"
                                           "exec sleep 60\n");
            QVERIFY(::chmod(QFile::encodeName(tools + "/fakeroot").constData(), 0755) == 0
                    && QDir().mkpath(base + "/tmp"));
            environment.insert("PATH", tools + ":" + environment.value("PATH"));
            environment.insert("TMPDIR", base + "/tmp");
        }
        if (prepare == "user copy")
            writeFile(source + "/my_tool.py", "mine");
        else if (prepare == "no control")
            QVERIFY(QFile::remove(work + "/DEBIAN/control"));
        else if (prepare == "fifo control")
            QVERIFY(QFile::remove(work + "/DEBIAN/control")
                    && QProcess::execute("mkfifo", {work + "/DEBIAN/control"}) == 0);
        else if (prepare == "no DEBIAN")
            QVERIFY(QDir(work + "/DEBIAN").removeRecursively());
        else if (prepare == "line break")
            writeFile(work + "/usr/a\nb", "nl");
        else if (prepare == "md5sums directory")
            QVERIFY(QDir().mkpath(work + "/DEBIAN/md5sums"));
        else if (prepare == "data blocked")
            QVERIFY(QDir(data).removeRecursively() && QFile(data).open(QIODevice::WriteOnly));

        QProcess program;
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(base);
        QStringList filled;
        for (const QString &argument : arguments)
            filled << fill(argument);
        program.start(qEnvironmentVariable("BEXLOR_BUILD"), filled);
        if (prepare == "terminated") {
            for (int tries = 0; tries < 600 && !QFileInfo::exists(pid); ++tries)
                QThread::msleep(100);
            QVERIFY2(QFileInfo::exists(pid), program.readAllStandardError().constData());
            QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
        }
        QVERIFY(program.waitForFinished(300000));
        if (prepare == "terminated") { // the packer ended with the build, the staging copy removed
            QVERIFY(::kill(pid_t(readFile(pid).trimmed().toInt()), 0) != 0);
            QVERIFY(QDir(base + "/tmp").isEmpty() && QDir(out).isEmpty());
        }
        const QString standardError = QString::fromUtf8(program.readAllStandardError());
        const QString standardOutput = QString::fromUtf8(program.readAllStandardOutput());
        const QString shown = standardError + "\n--- stdout:\n" + standardOutput;
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == code, qPrintable(shown));
        QVERIFY2(standardError.contains(fill(error)), qPrintable(shown));
        QVERIFY2(standardOutput.contains(fill(output)), qPrintable(shown));
        if (code == 0 && output.isEmpty())
            QVERIFY2(standardOutput.isEmpty(), qPrintable(standardOutput));

        if (file.startsWith('!')) {
            QVERIFY2(!QFileInfo::exists(fill(file.mid(1))), qPrintable(file));
        } else if (!file.isEmpty()) {
            QVERIFY2(QFileInfo::exists(fill(file)), qPrintable(file));
            QVERIFY2(readFile(fill(file)).contains(content), readFile(fill(file)).constData());
        }
        if (!verify.isEmpty()) {
            QProcess check;
            check.setWorkingDirectory(work);
            QStringList checkArguments;
            for (const QString &argument : verify.mid(1))
                checkArguments << fill(argument);
            check.start(fill(verify.first()), checkArguments);
            QVERIFY(check.waitForFinished());
            QVERIFY2(check.exitCode() == 0, check.readAllStandardError().constData());
            if (verify.first().contains('/')) // a built executable
                QCOMPARE(check.readAllStandardOutput(), QString("привет\n").toUtf8());
        }
        QVERIFY(!QFileInfo::exists(base + "/pwned"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
