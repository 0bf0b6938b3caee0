// bexlor-build through the real program and the real tools, without a display, in a temporary HOME.
#include "app/profilestore.h"
#include "app/settings.h"
#include "cli/commands.h"
#include "common/namebytes.h"
#include "common/processrunner.h"
#include "exebuild/buildtarget.h"
#include "support/testenv.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program as a row prepares it: its standard output closed, on /dev/full or a pipe whose reader has gone; run as
// nobody (when the test runs as root) for directories only root could write. The child compares bytes: no allocation.
struct Program : QProcess
{
    QByteArray prepare;
    void setupChildProcess() override
    {
        int ends[2];
        if (prepare == "stdout closed")
            ::close(STDOUT_FILENO);
        else if (prepare == "stdout full")
            ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
        else if (prepare == "stdout broken pipe" && ::pipe(ends) == 0 && ::close(ends[0]) == 0)
            ::dup2(ends[1], STDOUT_FILENO);
        else if (prepare.endsWith("read-only") && ::geteuid() == 0
                 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(127);
    }
};

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    QTemporaryDir m_root;

    // One row: the arguments; the exit code; part of standard error (the tools' output, then the message); a file
    // that must exist afterwards ("!" in front: must not) and part of it; a change to the fixture before the run;
    // part of standard output; a command that must succeed afterwards, run in {W}.
    static void row(const char *tag, const QStringList &arguments, int code, const QString &error,
                    const QString &file = {}, const QByteArray &content = {}, const QString &prepare = {},
                    const QString &output = {}, const QStringList &verify = {})
    {
        QTest::newRow(tag) << arguments << prepare << code << error << output << file << content << verify;
    }

private slots:
    // Names are bytes here as in the program, so that a row can give one that is not UTF-8.
    void initTestCase() { keepStrayBytesInNames(); }

    // Placeholders: {W} work directory, {O} output directory, {S} script in {D}, {P} picture, {H} home, {B} the
    // directory the program runs in, {R} the last installed runtime. Every row starts from a fresh work directory
    // with a control file, usr/bin/mytool (0755) and a 2048-byte data file (0644), and a profile "проект" naming
    // that row's directories.
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("verify");

        const QString built = "Команда сборки завершена.\n\nИсполняемый файл: ", choose = "Необходимо выбрать каталог";
        const QString deb = "{O}/mytool_1.0_all.deb", debError = "Ошибка при сборке проекта:\n";
        const QByteArray control = "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
                                   "Description: x\nInstalled-Size: 9\n"; // dpkg-gencontrol counts directories too
        const QString icon = "{W}/usr/share/icons/hicolor/16x16/apps/mytool.png", saved = "{H}/.bexlor/builder/mytool";

        // Executable build.
        const QStringList exe{"exe", "{S}", "--output-dir", "{O}"};
        // The message leads with what to act on; the tools' warnings come last.
        const QString order = built + "{O}/my-tool\nСтроки для DEBIAN/control:\nDepends: libc6 (>= ";
        row("exe", exe, 0, order, "!{D}/my_tool.py", {}, {}, {}, {"{O}/my-tool"});
        row("exe, defaults", {"exe", "{S}"}, 0, built, "{B}/my-tool", {}, {}, {}, {"{B}/my-tool"});
        row("exe, profile", {"exe", "--profile", "проект"}, 0, "\nВся программа в байт-коде Python: так выбрано",
            "{O}/из профиля", {}, {}, {}, {"{O}/из профиля"});
        row("exe, bytecode", exe + QStringList{"--bytecode"}, 0, "\nВся программа в байт-коде Python: так выбрано",
            "!{D}/my_tool.c", {}, {}, {}, {"{O}/my-tool"});
        const QString stray = QString("na") + QChar(0xDCFF) + "me"; // "na\xffme", kept as bytes
        row("exe, name not UTF-8", exe + QStringList{"--name", stray}, 0, built, "!{O}/na\uFFFDme", {}, {}, {},
            {"{O}/" + stray});
        row("exe, arguments win", {"exe", "--profile=проект", "--name", "своё", "--runtime", "{R}", "{S}"}, 0, built,
            "{O}/своё", {}, {}, {}, {"{O}/своё"});
        row("exe, output missing", {"exe", "{S}", "--output-dir", "{O}/новый"}, 0, "Создан каталог {O}/новый\n",
            "{O}/новый/my-tool");
        row("exe, no script", {"exe"}, 1, "Необходимо выбрать каталог и файл .py");
        row("exe, directory", {"exe", "{W}/"}, 1, "Необходимо выбрать каталог и файл .py");
        row("exe, no name", {"exe", "{S}", "--name="}, 1, "Необходимо ввести имя бинарного файла");
        // The progress, a line per phase in a log ("^": standard error begins with the text).
        row("exe, progress", exe, 0, "Поиск импортов\nСборка модулей, всего 1\nКомпоновка\nКоманда сборки завершена.");
        row("exe, quiet", exe + QStringList{"--quiet"}, 0, "^" + built);
        // Optimised for speed; lists of modules given piece by piece.
        row("exe, speed, modules added", exe + QStringList{"--optimise", "speed", "--include", "a", "--include=b,c"}, 0,
            "\nНе найден модуль a (добавлен вручную)\nНе найден модуль b (добавлен вручную)\nНе найден модуль c ", {},
            {}, {}, {}, {"{O}/my-tool"});
        row("exe, unknown optimisation", exe + QStringList{"--optimise", "fast"}, 1,
            "Оптимизация «fast» неизвестна: выберите size или speed", "!{O}/my-tool");
        row("exe, not a module name", exe + QStringList{"--exclude", "a..b"}, 1, "«a..b» — не имя модуля",
            "!{D}/my_tool.c");

        // Package build.
        const QStringList build{"deb", "{W}", "{O}"};
        // "^": a pattern the whole of standard error matches. The opening and the package where it lies come
        // first, no tool's chatter anywhere; with lint, each tag once after the warnings and the verdict last.
        const QString opening = "^Команда сборки завершена\\.\nФайл пакета: " + deb
                                + "\n\nПредупреждения при сборке:\n";
        row("deb", build, 0, opening + "DEBIAN/control: нет подробного описания[^\n]*\n$", deb, {}, {}, {},
            {"dpkg-deb", "--info", deb});
        // The compression: the profile's (gzip at level 1) unless the command line names one, with its own level.
        row("deb, profile (Lint on: lintian finds errors)", {"deb", "--profile", "проект"}, 1,
            "\nСжатие: gzip, уровень 1.\n", deb);
        row("deb, compression", build + QStringList{"--compression", "zstd", "--level=19"}, 0,
            "\nСжатие: zstd, уровень 19.\n", deb);
        row("deb, compression over profile (Lint on)", {"deb", "--profile", "проект", "--compression", "none"}, 1,
            "\nСжатие: none.\n", deb);
        // Run from the work directory, "." is that directory, its access list applied (a tar header's mode).
        row("deb, the current directory", {"deb", ".", "{O}", "--compression", "none"}, 0, "Команда сборки завершена.",
            deb, "0000600", "in W");
        // A value no run could take is wrong usage, cut short when long.
        const QString notLevel = "уровень сжатия должен быть целым неотрицательным числом, а не ";
        row("deb, level not a number", build + QStringList{"--level", "x"}, 2, notLevel + "«x»", "!" + deb);
        row("deb, level empty", build + QStringList{"--level="}, 2, notLevel + "«»");
        row("deb, level overlong", build + QStringList{"--level", "00000000000000000009"}, 2, notLevel + "«0000");
        row("deb, level out of range", build + QStringList{"--compression=zstd", "--level", "20"}, 2,
            "уровень сжатия zstd допускает значения от 1 до 19, а не 20");
        row("deb, compression overlong", build + QStringList{"--compression", QString(5000, 'z')}, 2,
            "неизвестный способ сжатия «" + QString(40, 'z') + "…»: возможны xz, zstd, gzip, none");
        row("docs, licence not UTF-8", {"docs", "{W}", "--licence", "MIT\uFFFD"}, 2,
            "значение параметра --licence не в кодировке UTF-8");
        row("deb, no output directory", {"deb", "{W}"}, 1, "Необходимо выбрать каталог для deb-файла");
        row("deb, no work directory", {"deb", "", "{O}"}, 1, "Необходимо выбрать каталог с проектом");
        // The command line makes a missing output directory, and says so.
        row("deb, output missing", {"deb", "{W}", "{O}/нет/глубже"}, 0, "Создан каталог {O}/нет/глубже\n",
            "{O}/нет/глубже/mytool_1.0_all.deb");
        for (const char *name : {"control", "conffiles"})
            row(qPrintable(QString("deb, %1 a FIFO").arg(name)), build, 1,
                debError + "{W}/DEBIAN/" + name + " не является обычным файлом", "!" + deb, {},
                QString("fifo ") + name);
        const QStringList lint = build + QStringList{"--lint"};
        // lintian's error tags fail the run, the package kept and the tags first.
        row("deb, lint finds errors", lint, 1,
            opening
                + "(?=[\\s\\S]*\nСтрока для DEBIAN/control:\nDepends: libc6)(?:(?![EW]: )[^\n]*\n)*\n"
                  "(?:[EW]: mytool: [^\n]*\n)*E: mytool: no-copyright-file\n(?:[EW]: mytool: [^\n]*\n)*\nПакет "
                + deb
                + " собран и оставлен на месте, но lintian нашёл в нём ошибки\\.\n\nПроверка lintian: ошибок — "
                  "\\d+, предупреждений — \\d+\\.\n$",
            deb, {}, "elf");
        // Tools come from the system's directories: planted ones first on PATH do not run, a missing one is named.
        row("deb, tools planted on PATH", lint, 1, "\nПроверка lintian: ошибок — ", "!{B}/planted/ran", {}, "planted");
        const QString notFound = "программы нет в каталогах /usr/bin, /bin, /usr/sbin, /sbin";
        row("deb, fakeroot missing", build, 1, debError + "не удалось запустить fakeroot: " + notFound, "!" + deb, {},
            "stand-in fakeroot=");
        // The check asked for and not done fails the build; the package stays. Status 2 (tags) is a result.
        const QString unchecked = "Пакет " + deb + " собран, но проверка lintian не выполнена: ";
        row("deb, lintian missing", lint, 1, unchecked + "не удалось запустить lintian: " + notFound, deb, {},
            "stand-in lintian=");
        row("deb, lintian crashes", lint, 1, unchecked + "аварийное завершение\n", deb, {},
            "stand-in lintian=kill -SEGV $$");
        row("deb, lintian fails", lint, 1, unchecked + "сбой lintian\n", deb, {},
            "stand-in lintian=echo сбой lintian >&2; exit 1");
        row("deb, lintian prints errors, exits 0", lint, 1, "E: mytool: x\n\nПакет " + deb + " собран и оставлен", deb,
            {}, "stand-in lintian=echo 'E: mytool: x'");
        // A signal cancels at every phase: nothing of the build outlives it, fakeroot's daemon included, and the
        // older package stays. A killed build's leftovers go at the next build; -1: killed.
        const QString cancelled = "^Отменено пользователем\n$";
        row("deb, terminated while packing", build, 1, cancelled, {}, {}, "signal TERM dpkg-deb");
        row("deb, hung up while packing", build, 1, cancelled, {}, {}, "signal HUP dpkg-deb");
        row("deb, interrupted while checking", lint, 1, cancelled, {}, {}, "signal INT lintian");
        row("deb, killed while packing", build, -1, {}, deb, "debian-binary", "signal KILL dpkg-deb");
        row("exe, killed while compiling", exe, -1, {}, "!{D}/my_tool.py", {}, "signal KILL cc1");
        // A temporary directory that cannot be made is named, and so is TMPDIR when it is the cause.
        const QString noTemporary = debError + "Не удалось создать временный каталог в ",
                      fromTmpdir = " (каталог из переменной TMPDIR): ";
        row("deb, TMPDIR missing", build, 1, noTemporary + "{B}/нет" + fromTmpdir + "No such file or directory",
            "!" + deb, {}, "TMPDIR={B}/нет");
        row("deb, TMPDIR a file", build, 1, noTemporary + "{W}/DEBIAN/control" + fromTmpdir + "Not a directory",
            "!" + deb, {}, "TMPDIR={W}/DEBIAN/control");
        row("deb, TMPDIR read-only", build, 1, noTemporary + "{O}" + fromTmpdir + "Permission denied", "!" + deb, {},
            "TMPDIR={O} read-only");
        row("deb, output directory read-only", build, 1, noTemporary + "{O}: Permission denied", "!" + deb, {},
            "read-only");

        // Documents: the answers the window asks for as options.
        row("docs", {"docs", "{W}", "--licence", "MIT"}, 0, "Документы пакета созданы:\n",
            "{W}/usr/share/man/man1/mytool.1.gz");
        // A locale the system lacks (ru_RU.UTF-8 is seldom generated in containers) makes perl talk on standard
        // error: no tool is judged by that, and it never reaches the user. An ELF program brings in dpkg-shlibdeps.
        for (const char *variable : {"LANG", "LC_ALL"}) {
            const QString locale = QString("locale ") + variable;
            row(qPrintable("docs, " + locale), {"docs", "{W}", "--licence", "MIT"}, 0, "Документы пакета созданы:\n",
                "{W}/usr/share/doc/mytool/changelog.gz", {}, locale);
            row(qPrintable("deb --lint, " + locale), lint, 1, "\n\nПроверка lintian: ошибок — ", deb, {}, locale);
            row(qPrintable("exe, " + locale), exe, 0, order, {}, {}, locale, {}, {"{O}/my-tool"});
        }
        row("docs, no licence", {"docs", "{W}"}, 1, "Для файла copyright нужна лицензия (--licence): GPL-3.0",
            "!{W}/usr/share/doc/mytool/changelog.gz");
        row("docs, licence not listed", {"docs", "{W}", "--licence", "WTFPL"}, 1, "Лицензии «WTFPL» нет в списке");
        // Checksums.
        row("md5sums", {"md5sums", "{W}"}, 0, "", "{W}/DEBIAN/md5sums", "  usr/bin/mytool\n", {}, {},
            {"md5sum", "--check", "--strict", "DEBIAN/md5sums"});
        row("md5sums, no work directory", {"md5sums"}, 1, choose);

        // Installed size.
        row("size", {"size", "{W}"}, 0, "", "{W}/DEBIAN/control", control);

        // Icons.
        row("icons, trailing slash", {"icons", "{W}/", "{P}"}, 0, "Файлы иконон созданы", icon, "PNG");
        row("icons, profile", {"icons", "--profile", "проект", "--picture", "{P}"}, 0, "Файлы иконон созданы", icon);
        row("icons, not a picture", {"icons", "{W}", "{W}/DEBIAN/control"}, 1,
            "Не удалось загрузить изображение {W}/DEBIAN/control", "!" + icon);

        // Access rights.
        row("access", {"access", "{W}"}, 0, "", "!" + saved, {}, {}, "/usr/bin/mytool: 755\n");
        row("access, save", {"access", "--save", "{W}"}, 0, "", saved, "/usr/bin/mytool: 755\n", {},
            "/usr/share/doc/mytool/data: 644\n");
        row("access, profile", {"access", "--profile", "проект"}, 0, "", {}, {}, {}, "/DEBIAN/control: 644\n");
        row("access, data directory blocked", {"access", "{W}", "--save"}, 1, "{H}/.bexlor", {}, {}, "data blocked");
        // Saved first; output that cannot be written is a failure, a reader gone (SIGPIPE) included.
        const QString unwritten = "Не удалось записать в стандартный вывод: ";
        row("access, stdout closed", {"access", "{W}", "--save"}, 1, unwritten + "Bad file descriptor", saved,
            "/usr/bin/mytool: 755\n", "stdout closed");
        row("access, stdout on /dev/full", {"access", "{W}", "--save"}, 1, unwritten + "No space left on device", saved,
            "/usr/bin/mytool: 755\n", "stdout full");
        row("access, stdout a pipe nobody reads", {"access", "{W}", "--save"}, 1, unwritten + "Broken pipe", saved,
            "/usr/bin/mytool: 755\n", "stdout broken pipe");
        row("help, stdout on /dev/full", {"--help"}, 1, unwritten, {}, {}, "stdout full");
        // Without HOME nothing falls back to "/".
        const QString noHome = "Переменная окружения HOME не задана";
        row("access, save, HOME unset", {"access", "{W}", "--save"}, 1, noHome, "!/.bexlor", {}, "HOME unset");
        row("deb, HOME empty", build, 1, noHome, "!" + deb, {}, "HOME empty");
        row("profile, HOME unset", {"size", "--profile", "проект"}, 1, noHome, "!/.config", {}, "HOME unset");

        // Profiles, help and wrong usage.
        row("unknown profile", {"size", "--profile", "нет"}, 1, "Профиль «нет» не найден");
        row("help", {"--help"}, 0, "", {}, {}, {}, "Коды завершения:\n  0");
        // The repository: the sources entry on standard output, the packages any number of operands.
        row("repo, empty suite", {"repo", "{B}/репо"}, 0, "{B}/репо, набор stable:\nне подписан",
            "{B}/репо/dists/stable/Release", "\nSuite: stable\n", {}, "Suites: stable\nComponents: main\n");
        row("repo, not a package", {"repo", "{B}/репо", "{S}", "{W}/DEBIAN/control"}, 1, "{S} - не пакет deb");
        row("repo, keep not a number", {"repo", "{B}/репо", "--keep", "x"}, 1,
            "--keep ждёт целое неотрицательное число, а не «x»");
        for (const QString command : {"exe", "deb", "docs", "md5sums", "size", "icons", "access", "service", "repo"}) {
            row(qPrintable(command + " --help"), {command, "{W}", "--help"}, 0, "", {}, {}, {},
                "Использование: bexlor-build " + command + " ");
        }
        row("no command", {}, 2, "\nСправка: bexlor-build --help");
        row("unknown command", {"build"}, 2, "неизвестная команда «build»");
        row("extra operand", build + QStringList{"{O}"}, 2, "лишний аргумент", "!" + deb);
        row("unknown option", {"exe", "{S}", "--bogus"}, 2, "неизвестный параметр «--bogus»");
        row("save elsewhere", {"size", "{W}", "--save"}, 2, "неизвестный параметр «--save»");
        row("option without value", {"exe", "{S}", "--name"}, 2, "у параметра --name нет значения");
        row("operand and option", {"md5sums", "{W}", "--work-dir", "{W}"}, 2, "--work-dir задан дважды");
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
        const QString runtime = installedRuntimes().value(installedRuntimes().size() - 1);
        const auto fill = [&](QString text, bool pattern = false) {
            const auto as = [pattern](const QString &path) {
                return pattern ? QRegularExpression::escape(path) : path;
            };
            return text.replace("{W}", as(work))
                .replace("{O}", as(out))
                .replace("{S}", as(script))
                .replace("{D}", as(source))
                .replace("{P}", as(picture))
                .replace("{H}", as(m_home.path()))
                .replace("{B}", as(base))
                .replace("{R}", runtime);
        };
        const auto fillAll = [&](const QStringList &list) {
            QStringList filled;
            for (const QString &argument : list)
                filled << fill(argument);
            return filled;
        };
        const auto put = [](const QString &path, const QByteArray &content, mode_t mode) {
            writeFile(path, content);
            return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
        };
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(work + "/usr/bin"));
        ::chmod(QFile::encodeName(work).constData(), 0755);
        put(work + "/DEBIAN/control",
            "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
            "Description: x\nInstalled-Size: 7\n",
            0644);
        put(work + "/usr/bin/mytool", "#!/bin/sh\n", 0755);
        put(work + "/usr/share/doc/mytool/data", QByteArray(2048, 'x'), 0644);
        writeFile(script, "print('привет')\n");
        writePicture(picture);

        Profile profile;
        profile.projectDir = source, profile.py = script;
        profile.binaryDir = out, profile.binary = "из профиля", profile.projectDirDeb = work, profile.debDir = out;
        profile.bytecode = true;
        profile.compression = "gzip", profile.compressionLevel = 1;
        QVERIFY(saveProfile("проект", profile).success);
        settings().sync();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(display);
        if (prepare == "HOME unset")
            environment.remove("HOME");
        else
            environment.insert("HOME", prepare == "HOME empty" ? QString() : m_home.path());
        environment.insert("TEST_RUN", base); // every process of the run inherits it: the tools, their daemons
        const QString data = m_home.path() + "/.bexlor";
        QFile::remove(data);
        QVERIFY(QDir(data).removeRecursively() && QDir().mkpath(data + "/builder"));
        const bool signalled = prepare.startsWith("signal");
        const QString tmp = base + "/tmp", older = out + "/mytool_1.0_all.deb";
        if (signalled) {
            // Bytes xz takes seconds to pack, a temporary directory to show the staging copy, an older package.
            QFile random("/dev/urandom");
            QVERIFY(random.open(QIODevice::ReadOnly) && QDir().mkpath(tmp));
            put(work + "/usr/share/doc/mytool/random", random.read(8 << 20), 0644);
            environment.insert("TMPDIR", tmp);
            writeFile(older, "old package");
            if (arguments.first() == "exe") // a module gcc takes seconds over
                writeFile(script, readFile(script) + QByteArray("v = [1] * 2\n").repeated(3000));
        }
        if (prepare == "planted") {
            for (const char *tool : {"fakeroot", "dpkg-deb", "tar", "xz", "lintian", "perl", "sh"})
                put(base + "/planted/" + tool, "#!/bin/sh\necho \"$0\" >> \"${0%/*}/ran\"\n", 0755);
            environment.insert("PATH", base + "/planted:" + environment.value("PATH"));
        } else if (prepare.startsWith("fifo ")) {
            QFile::remove(work + "/DEBIAN/" + prepare.mid(5));
            QCOMPARE(QProcess::execute("mkfifo", {work + "/DEBIAN/" + prepare.mid(5)}), 0);
        } else if (prepare == "data blocked") {
            QVERIFY(QDir(data).removeRecursively() && QFile(data).open(QIODevice::WriteOnly));
        } else if (prepare.startsWith("locale ")) {
            environment.remove("LC_ALL");
            environment.insert(prepare.mid(7), "ru_RU.UTF-8");
        }
        if (prepare == "elf" || prepare.startsWith("locale ")) {
            QVERIFY(QFile::remove(work + "/usr/bin/mytool") && QFile::copy("/bin/true", work + "/usr/bin/mytool"));
        } else if (prepare == "in W") {
            writeFile(data + "/builder/mytool", "/usr/share/doc/mytool/data: 600\n");
        }
        if (prepare.startsWith("TMPDIR="))
            environment.insert("TMPDIR", fill(prepare.section(' ', 0, 0).mid(7)));
        // Mode 0555 stops every user but root: run as root, the program runs as nobody, from a copy in the
        // row's own directory, since the build tree may lie in a checkout only its owner can enter.
        QString binary = qEnvironmentVariable("BEXLOR_BUILD");
        if (prepare.endsWith("read-only")) {
            QVERIFY(::chmod(QFile::encodeName(out).constData(), 0555) == 0
                    && ::chmod(QFile::encodeName(m_root.path()).constData(), 0755) == 0);
            if (::geteuid() == 0) {
                const QString copy = m_root.path() + "/bexlor-build";
                QVERIFY(QFileInfo::exists(copy)
                        || (QFile::copy(binary, copy) && ::chmod(QFile::encodeName(copy).constData(), 0755) == 0));
                binary = copy;
                for (QString up = m_root.path(); up.size() > 1; up = QFileInfo(up).path()) {
                    if (!(QFileInfo(up).permissions() & QFileDevice::ExeOther))
                        QSKIP(qPrintable(up + " is closed to other users: the program cannot run as nobody"));
                }
            }
        }

        const auto start = [&](Program &program) {
            program.prepare = prepare.toUtf8();
            program.setProcessEnvironment(environment);
            program.setWorkingDirectory(prepare == "in W" ? work : base);
            program.start(binary, fillAll(arguments));
        };
        QString standardError, standardOutput;
        if (prepare.startsWith("stand-in ")) {
            // In-process, with the core's seam: a tool replaced (an empty text: missing).
            const QString tool = prepare.section(' ', 1).section('=', 0, 0), body = prepare.section('=', 1);
            put(base + "/" + tool, "#!/bin/sh\n" + body.toUtf8() + "\n", 0755);
            setToolForTesting(tool, body.isEmpty() ? QString() : base + "/" + tool);
            const Outcome done = outcome(runCommand(parseCommandLine(fillAll(arguments))), false);
            clearToolsForTesting();
            standardError = done.text;
            QVERIFY2(done.exitCode == code, qPrintable(standardError));
        } else {
            Program program;
            start(program);
            if (signalled) { // once the tool runs
                const QStringList words = prepare.split(' ');
                const QRegularExpression tool("[ /]" + words[2] + "( |$)");
                QTRY_VERIFY_WITH_TIMEOUT(!processesWith(QFile::encodeName(base)).filter(tool).isEmpty(), 120000);
                const QMap<QString, int> numbers{
                    {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"INT", SIGINT}, {"KILL", SIGKILL}};
                QVERIFY(::kill(pid_t(program.processId()), numbers[words[1]]) == 0);
            }
            QVERIFY(program.waitForFinished(300000));
            standardError = program.readAllStandardError(), standardOutput = program.readAllStandardOutput();
            const bool killed = program.exitStatus() == QProcess::CrashExit;
            QVERIFY2(killed ? code == -1 : program.exitCode() == code,
                     qPrintable(standardError + "\n--- stdout:\n" + standardOutput));
        }
        const QString shown = standardError + "\n--- stdout:\n" + standardOutput;
        QVERIFY2(error.startsWith('^') ? QRegularExpression(fill(error, true)).match(standardError).hasMatch()
                                       : standardError.contains(fill(error)),
                 qPrintable(shown));
        QVERIFY2(standardOutput.contains(fill(output)), qPrintable(shown));
        QVERIFY2(!standardError.contains("Setting locale failed"), qPrintable(shown));
        if (signalled) {
            QTRY_VERIFY_WITH_TIMEOUT(processesWith(QFile::encodeName(base)).isEmpty(), 5000);
            QCOMPARE(readFile(older), QByteArray("old package"));
            const QStringList leftOver = entries(tmp) + entries(out).filter("bexlor-");
            QCOMPARE(leftOver.size(), code == -1 ? (arguments.first() == "exe" ? 1 : 2) : 0);
            if (code == -1) {
                Program again;
                start(again);
                QVERIFY(again.waitForFinished(300000) && again.exitCode() == 0);
                QVERIFY(entries(tmp).isEmpty() && entries(out).filter("bexlor-").isEmpty());
            }
        }
        if (code == 0 && output.isEmpty())
            QVERIFY2(standardOutput.isEmpty(), qPrintable(standardOutput));

        if (file.startsWith('!'))
            QVERIFY2(!QFileInfo::exists(fill(file.mid(1))), qPrintable(file));
        else if (!file.isEmpty())
            QVERIFY2(QFileInfo::exists(fill(file)) && readFile(fill(file)).contains(content), qPrintable(file));
        if (!verify.isEmpty()) {
            const ProcessResult check = runProcess(fill(verify.first()), fillAll(verify.mid(1)), work);
            QVERIFY2(check.succeeded(), qPrintable(check.failureText()));
            if (verify.first().contains('/')) // a built executable
                QCOMPARE(check.standardOutput, QString("привет\n"));
        }
        QVERIFY(!QFileInfo::exists(base + "/pwned"));
    }

    // The progress on a terminal: one line drawn over the last, cut to the width; in a log, a line per phase.
    void progress_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QByteArray>("written");
        addRow("terminal", true,
               QByteArray("\r\033[KПоиск импортов\r\033[KСборка модулей: 0 из 2 — app\r\033[KСборка модулей: 1 из 2 — "
                          "app.u\r\033[KСборка модулей: 2 из 2"));
        addRow("log", false, QByteArray("Поиск импортов\nСборка модулей, всего 2\n"));
    }

    void progress()
    {
        QFETCH(bool, terminal);
        QFETCH(QByteArray, written);
        QByteArray output;
        QString shown;
        for (const JobStep &step : QList<JobStep>{{"Поиск импортов", 0, 0, {}},
                                                  {"Сборка модулей", 0, 2, "app"},
                                                  {"Сборка модулей", 1, 2, "app.util"},
                                                  {"Сборка модулей", 2, 2, {}}}) {
            output += progressOutput(step, shown, terminal, 31);
            shown = step.phase;
        }
        QCOMPARE(output, written);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
