// The package build through the real fakeroot and dpkg-deb; TMPDIR inside the work directory shows staging leftovers.
#include "app/ui/bexlorwindow.h"
#include "common/filesystem.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "desktop/accessrights.h"
#include "package/debbuild/architecturecheck.h"
#include "package/debbuild/debbuild.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The first 64 bytes of an ELF file of that class (32 or 64 bits), machine and byte order.
QByteArray elf(int bits, int machine, bool bigEndian = false)
{
    QByteArray header(64, '\0');
    header.replace(0, 7, QByteArray(ELFMAG) + char(bits / 32) + char(bigEndian ? 2 : 1) + char(1));
    header[bigEndian ? 19 : 18] = char(machine & 0xff);
    header[bigEndian ? 18 : 19] = char(machine >> 8);
    return header;
}

class DebBuildTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;

private slots:
    // QTemporaryDir cannot remove a name that is not UTF-8.
    void cleanupTestCase() { QVERIFY(removeTree(root.path()).success); }

    void builds_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("box"); // the start of the one box shown
        const QString error = "critical: Ошибка / ", fails = error + "Ошибка при сборке проекта:\n";
        // lintian finds errors in these packages: the box begins with them.
        const QString built = "information: Выполнено! / E: mytool: ";
        addRow("builds", "{W}//", built);
        addRow("root", "/", error + "Необходимо выбрать каталог с проектом");
        addRow("missing", "{W}/no", fails + "Каталог {W}/no не найден");
        addRow("file", "{W}/DEBIAN/control", fails + "Каталог {W}/DEBIAN/control не найден");
        addRow("FIFO", "{W}", fails + "{W}/usr/bin/x не является ни обычным файлом, ни каталогом, ни ссылкой");
        addRow("no DEBIAN", "{W}/usr", fails + "Файл DEBIAN/control не найден");
    }

    void builds()
    {
        QFETCH(QString, workDir);
        QFETCH(QString, box);
        const QString base = root.path() + "/сборка " + QTest::currentDataTag() + " $(touch pwned); 'q'";
        const QString work = base + "/work dir/mytool", output = base + "/out деб", tmp = work + "/scratch";
        QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(output) && QDir().mkpath(work + "/usr/share/empty"));
        ::chmod(QFile::encodeName(work).constData(), 0755); // the package root keeps the work directory's mode
        qputenv("TMPDIR", QFile::encodeName(tmp));
        // No Description: a warning, and the build goes on.
        writeFile(work + "/DEBIAN/control", "Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: Т <t@e>\n"
                                            "Depends: python3 (>= 3) | pypy\n");
        // DEBIAN.old is left out, as dpkg-deb leaves it out, with a warning.
        for (const char *file : {"/DEBIAN/postinst", "/usr/bin/mytool", "/usr/bin/su", "/usr/share/my/key",
                                 "/usr/share/my/a: b", "/usr/share/my/caf", "/DEBIAN.old/control"})
            writeFile(work + file, "#!/bin/sh\n");
        // A name that is not UTF-8 (Latin-1 "café").
        QVERIFY(::rename(QFile::encodeName(work + "/usr/share/my/caf").constData(),
                         QFile::encodeName(work + "/usr/share/my/caf").append('\xe9').constData())
                == 0);
        // A line through a link must never reach the host file behind it.
        writeFile(base + "/outside", "linked\n");
        QVERIFY(::chmod(QFile::encodeName(base + "/outside").constData(), 0644) == 0);
        QVERIFY(QFile::link(base + "/outside", work + "/usr/share/my/link")
                && QFile::link("my", work + "/usr/share/dir"));
        if (QTest::currentDataTag() == QLatin1String("FIFO"))
            QCOMPARE(QProcess::execute("mkfifo", {work + "/usr/bin/x"}), 0);
        // What the editor leaves: blank scripts, DEBIAN 0745; one script without "#!".
        writeFile(work + "/DEBIAN/preinst", " \n\t\n");
        writeFile(work + "/DEBIAN/prerm", "echo\n");
        writeFile(work + "/DEBIAN/templates", "");
        ::chmod(QFile::encodeName(work + "/DEBIAN").constData(), 0745);
        // An ELF program needing libc6, which Depends does not name, with a second name (a hard link).
        QVERIFY(QFile::remove(work + "/usr/bin/mytool") && QFile::copy("/bin/true", work + "/usr/bin/mytool"));
        QVERIFY(::link(QFile::encodeName(work + "/usr/bin/mytool").constData(),
                       QFile::encodeName(work + "/usr/share/mytool").constData())
                == 0);
        // What killed writes left, and one still being written: never packed.
        const QStringList unfinished{
            QString("/DEBIAN/.md5sums.bexlor-%1.dead01").arg(deadPid()),
            QString("/usr/share/my/.key.bexlor-%1.live01").arg(QCoreApplication::applicationPid())};
        for (const QString &temporary : unfinished)
            writeFile(work + temporary, "partial");
        const QByteArray unreadable("/usr/share/my/\0x: 600\n", 22); // a NUL byte cannot be part of a path
        writeFile(dataDirectoryPath() + "/mytool", "/DEBIAN/control: 644\n/DEBIAN/postinst: 644\n"
                                                   "/DEBIAN/templates: 755\n/DEBIAN: 700\n/usr/share/my/stale: 600\n"
                                                   "/usr/share/my/key: 600\n/usr/share/my/a: b: 640\n"
                                                   "no separator\n/usr/bin/mytool: 9\n/../../etc/passwd: 600\n"
                                                   "/usr/share/my/link: 4777\n/usr/share/dir/key: 4777\n"
                                                       + unreadable
                                                       + "/usr/share/my/caf\xe9: 640\n/usr/bin/su: 4755\n");
        // As a release sets it: older than the files, whose times dpkg-deb then clamps to it.
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir.replace("{W}", work));
        window.ui->lineEditDebDir->setText(output);
        FakeDialogs dialogs;
        window.buidDeb();
        const QString details = dialogs.shown.isEmpty() ? QString() : dialogs.last().details;
        const QString shown = dialogs.take().join("\n---\n");
        QVERIFY2(shown.startsWith(box.replace("{W}", work)), qPrintable(shown));
        QVERIFY(entries(tmp).isEmpty() && !QFileInfo::exists("pwned") && !QFileInfo::exists("/tmp/mytool"));
        const bool built = box.startsWith("information");
        QCOMPARE(entries(output), built ? QStringList{"mytool_1.0_all.deb"} : QStringList());
        if (!built)
            return;
        // The box shows the first lines; the whole text and the lint tags are in its details.
        const QString text = details.contains("Команда сборки завершена") ? details : shown + "\n" + details;
        const QString link = "Ссылка /usr/share/my/link указывает на " + base + "/outside, которого нет в пакете";
        for (const QString &note : QStringList{
                 "DEBIAN/control: нет поля «Description»", "stale: 600", "no separator", "mytool: 9", "passwd: 600",
                 "(это ссылка): /usr/share/my/link: 4777", "(путь содержит нулевой байт)",
                 "(путь проходит через ссылку): /usr/share/dir/key", "(права в пакете: 755): /DEBIAN/postinst: 644",
                 "(права в пакете: 644): /DEBIAN/templates: 755", "(права в пакете: 755): /DEBIAN: 700",
                 "Пустой сценарий DEBIAN/preinst не включён в пакет",
                 "«Architecture: all», но в пакете есть программы и библиотеки ELF",
                 "Сценарий DEBIAN/prerm не начинается со строки «#!»",
                 "Временный файл незавершённой записи " + unfinished.at(0) + " в пакет не включён",
                 "Временный файл незавершённой записи " + unfinished.at(1) + " в пакет не включён", link,
                 "/DEBIAN.old не входит в пакет: dpkg-deb не упаковывает"})
            QVERIFY2(text.contains(note), qPrintable(note));
        QCOMPARE(text.count("которого нет в пакете"), 1);
        // dpkg-deb's own warnings name the work directory's files, never the staging copy, gone by now.
        const QString notes = text.section("Команда сборки завершена.", 1).remove(QRegularExpression("\n[EW]: [^\n]*"));
        QVERIFY2(notes.contains(work + "/DEBIAN/control' near line") && !notes.contains(tmp + "/bexlor-"),
                 qPrintable(notes));
        QVERIFY2(!notes.contains("/DEBIAN/control: 644") && !notes.contains("postrm"), qPrintable(notes));
        QVERIFY2(
            text.contains(QRegularExpression("Pre-Depends: libc6 \\(>= [0-9.]+\\)\\.\nСтрока для DEBIAN/control:\n"
                                             "Depends: python3 \\(>= 3\\) \\| pypy, libc6 \\(>= [0-9.]+\\)(\n|$)")),
            qPrintable(text));
        // lintian, on by default, reports last, with TMPDIR not ASCII too (it decodes such a path twice).
        QVERIFY2(text.contains(QRegularExpression("\n\nПроверка lintian: ошибок — \\d+, предупреждений — \\d+\\.\n"))
                     && text.contains("E: mytool: shipped-file-without-utf8-name"),
                 qPrintable(text.right(600)));
        QCOMPARE(int(QFile::permissions(base + "/outside")), 0x6644);
        const QString package = output + "/mytool_1.0_all.deb";
        QStringList expected{
            "-rw------- ./usr/share/my/key",    "-rw-r----- ./usr/share/my/a: b",
            "-rwxr-xr-x ./usr/bin/mytool",      "lrwxrwxrwx ./usr/share/my/link -> " + base + "/outside",
            "-rwsr-xr-x ./usr/bin/su",          "-rw-r----- ./usr/share/my/caf\\351",
            "lrwxrwxrwx ./usr/share/dir -> my", "hrwxr-xr-x ./usr/share/mytool link to ./usr/bin/mytool"};
        for (const char *dir : {"", "scratch/", "usr/", "usr/bin/", "usr/share/", "usr/share/empty/", "usr/share/my/"})
            expected << QString("drwxr-xr-x ./") + dir;
        expected.sort();
        QCOMPARE(packageListing(package), expected);
        // control and the other files at 0644 (no "*"), the scripts executable,
        // md5sums and Installed-Size made from the staged data.
        const QString info = runProcess("dpkg-deb", {"--info", package}).standardOutput;
        const QStringList members = info.split('\n')
                                        .filter(QRegularExpression("^ +\\d+ bytes"))
                                        .replaceInStrings(QRegularExpression("^ +\\d+ bytes, +\\d+ lines +| +$"), "");
        QCOMPARE(members,
                 QStringList({"control", "md5sums", "*  postinst             #!/bin/sh", "*  prerm", "templates"}));
        const QString extracted = root.path() + "/extracted " + QTest::currentDataTag();
        QVERIFY(runProcess("dpkg-deb", {"-R", package, extracted}).succeeded());
        const ProcessResult md5sum = runProcess("md5sum", {"-c", "DEBIAN/md5sums"}, extracted);
        QVERIFY(md5sum.succeeded());
        // md5sums lists every regular file; Installed-Size is dpkg-gencontrol's count of the data packed.
        const QString data = extracted + " data";
        QVERIFY(runProcess("dpkg-deb", {"-x", package, data}).succeeded());
        QCOMPARE(md5sum.standardOutput.count('\n'),
                 runProcess("find", {data, "-type", "f"}).standardOutput.count('\n'));
        QVERIFY2(info.contains(QString(" Installed-Size: %1\n").arg(gencontrolInstalledSize(data))), qPrintable(info));

        // The command line packs the same work directory into the same bytes.
        const QString again = base + "/cli";
        QVERIFY(QDir().mkpath(again));
        QTest::qWait(1100); // a second later, so that any clock time would show
        QCOMPARE(QProcess::execute(qEnvironmentVariable("BEXLOR_BUILD"), {"deb", workDir, again}), 0);
        QVERIFY(QProcess::execute("cmp", {package, again + "/mytool_1.0_all.deb"}) == 0 && entries(tmp).isEmpty());
    }

    void controlAreaLinks_data()
    {
        QTest::addColumn<QString>("linked"); // the entry of the work directory that is a link
        QTest::addColumn<bool>("relative");
        for (const char *entry :
             {"DEBIAN", "DEBIAN/control", "DEBIAN/conffiles", "DEBIAN/md5sums", "DEBIAN/postinst"}) {
            for (bool relative : {false, true})
                QTest::addRow("%s, %s", entry, relative ? "relative" : "absolute") << entry << relative;
        }
    }

    // A link at DEBIAN or at a file in it is packed as what it leads to: the package's control area holds files,
    // and nothing outside the staging copy changes, neither content nor mode.
    void controlAreaLinks()
    {
        QFETCH(QString, linked);
        QFETCH(bool, relative);
        const QString base = root.path() + "/ссылка " + QTest::currentDataTag(), work = base + "/work/linked";
        const QString outside = base + "/outside", output = base + "/out", control = base + "/control";
        const QString area = linked == "DEBIAN" ? outside + "/DEBIAN" : work + "/DEBIAN";
        // Modes the build would change, a blank script it leaves out, conffiles without its last line break.
        const QList<QPair<QString, QByteArray>> files{
            {"control", "Package: linked\nVersion: 1\nArchitecture: amd64\nMaintainer: T <t@e>\nDescription: d\n d\n"},
            {"conffiles", "remove-on-upgrade /etc/old.conf\n/usr/share/kept\n/etc/linked.conf"},
            {"md5sums", "stale\n"},
            {"postinst", "#!/bin/sh\n"},
            {"preinst", " \n"}};
        for (const auto &file : files) {
            writeFile(area + '/' + file.first, file.second);
            QVERIFY(::chmod(QFile::encodeName(area + '/' + file.first), file.first == "postinst" ? 0700 : 0600) == 0);
        }
        // Every regular file under etc/ becomes a conffile, after the user's lines; a link there does not.
        for (const char *file :
             {"/etc/linked.conf", "/etc/b.conf", "/etc/a b.conf", "/etc/c\r", "/etc/Я/c", "/usr/share/kept"})
            writeFile(work + file, "x=1\n");
        // A name that is not UTF-8 (Latin-1 "dé") is listed as its bytes.
        QVERIFY(::close(::creat(QFile::encodeName(work + "/etc/d").append('\xe9').constData(), 0644)) == 0);
        QVERIFY(QFile::link("b.conf", work + "/etc/link") && ::chmod(QFile::encodeName(area), 0700) == 0);
        const QString name = linked.mid(QString("DEBIAN/").size());
        if (linked != "DEBIAN")
            QVERIFY(QDir().mkpath(outside) && QFile::rename(work + '/' + linked, outside + '/' + name));
        const QString target = linked == "DEBIAN" ? "../../outside/DEBIAN" : "../../../outside/" + name;
        QVERIFY(QFile::link(relative ? target : QDir::cleanPath(QFileInfo(work + '/' + linked).path() + '/' + target),
                            work + '/' + linked));
        const QStringList before = treeSnapshot(outside);
        QVERIFY(QDir().mkpath(output));
        const Result built = buildPackage(work, output);
        QVERIFY2(built.success && built.message.contains("\n/etc/a b.conf\n/etc/b.conf\n/etc/c\r\n")
                     && built.message.contains("«Architecture: amd64», но в пакете нет программ"),
                 qPrintable(built.message));
        QCOMPARE(treeSnapshot(outside), before);
        QVERIFY(runProcess("dpkg-deb", {"--control", output + "/linked_1_amd64.deb", control}).succeeded());
        QCOMPARE(QDir(control).entryList(QDir::Files | QDir::System),
                 QStringList({"conffiles", "control", "md5sums", "postinst"}));
        QVERIFY(!QFileInfo(control + "/postinst").isSymLink() && QFileInfo(control + "/postinst").isExecutable());
        // md5sums leaves the conffiles out, as dh_md5sums does.
        QCOMPARE(readFile(control + "/conffiles"), QByteArray("remove-on-upgrade /etc/old.conf\n/usr/share/kept\n"
                                                              "/etc/linked.conf\n/etc/a b.conf\n/etc/b.conf\n"
                                                              "/etc/c\r\n/etc/d\xe9\n/etc/Я/c\n"));
        QCOMPARE(readFile(control + "/md5sums"), QByteArray());
    }

    void architectures_data()
    {
        QTest::addColumn<QString>("architecture");
        QTest::addColumn<QString>("path"); // of the ELF file below the package root
        QTest::addColumn<QByteArray>("header"); // its first 64 bytes; none: a program built by the cross compiler
        QTest::addColumn<QString>("refusal"); // none: accepted
        const QString refused = "DEBIAN/control: «Architecture: %1» (%2), но эти файлы ELF собраны для другой "
                                "архитектуры: соберите их для %1 или укажите в поле Architecture ту, для которой они "
                                "собраны:\n/%3: %4";
        const QString x86_64 = "x86_64, 64 бита, little-endian", aarch64 = "aarch64, 64 бита, little-endian";
        const QString program = "usr/bin/prog";
        addRow("amd64, x86_64", "amd64", program, elf(64, EM_X86_64), QString());
        addRow("amd64, aarch64", "amd64", program, elf(64, EM_AARCH64), refused.arg("amd64", x86_64, program, aarch64));
        addRow("arm64, aarch64", "arm64", program, elf(64, EM_AARCH64), QString());
        addRow("arm64, x86_64", "arm64", program, elf(64, EM_X86_64), refused.arg("arm64", aarch64, program, x86_64));
        addRow("arm64, big-endian aarch64", "arm64", program, elf(64, EM_AARCH64, true),
               refused.arg("arm64", aarch64, program, "aarch64, 64 бита, big-endian"));
        addRow("i386, x86_64", "i386", program, elf(64, EM_X86_64),
               refused.arg("i386", "i686, 32 бита, little-endian", program, x86_64));
        // What lintian lets pass, and what is not judged at all.
        addRow("amd64, i386", "amd64", program, elf(32, EM_386), QString());
        addRow("i386, lib64", "i386", "usr/lib64/libx.so", elf(64, EM_X86_64), QString());
        addRow("i386, kernel module", "i386", "lib/modules/6.1.0/x.ko", elf(64, EM_X86_64), QString());
        addRow("debug symbols", "arm64", "usr/lib/debug/.build-id/ab/cdef.debug", elf(64, EM_X86_64), QString());
        addRow("firmware", "amd64", "usr/lib/firmware/dsp.elf", elf(32, EM_ARM), QString());
        addRow("unknown machine", "amd64", program, elf(32, EM_XTENSA), QString());
        addRow("unknown architecture", "bexlor64", program, elf(64, EM_AARCH64), QString());
        addRow("arm64, cross-compiled", "arm64", program, QByteArray(), QString());
    }

    // The ELF files' headers against what dpkg-architecture says of Architecture; a cross-compiled program is
    // packed as arm64, its Depends from dpkg-shlibdeps run for arm64.
    void architectures()
    {
        QFETCH(QString, architecture);
        QFETCH(QString, path);
        QFETCH(QByteArray, header);
        QFETCH(QString, refusal);
        const QString base = root.path() + "/архитектура " + QTest::currentDataTag(), work = base + "/prog";
        writeFile(work + "/DEBIAN/control", "Package: prog\nVersion: 1\nArchitecture: " + architecture.toUtf8()
                                                + "\nMaintainer: T <t@e.org>\nDescription: p\n prog\n");
        const QString compiler = "/usr/bin/aarch64-linux-gnu-gcc";
        if (header.isEmpty() && !QFileInfo::exists(compiler))
            QSKIP("No cross compiler for arm64 (gcc-aarch64-linux-gnu is not installed)");
        writeFile(work + '/' + path, header); // the cross compiler's program replaces an empty one
        if (header.isEmpty()) {
            writeFile(base + "/prog.c", "int main(void) { return 0; }\n");
            QVERIFY(runProcess(compiler, {"-o", work + '/' + path, base + "/prog.c"}).succeeded());
        }
        const Result checked = checkStagedArchitecture(parseControl(readFile(work + "/DEBIAN/control")), work, {path});
        QCOMPARE(checked.success ? QString() : checked.message, refusal);
        if (!header.isEmpty())
            return;
        const Result built = buildPackage(work, base);
        QVERIFY2(built.success && built.message.contains(QRegularExpression("\nDepends: libc6 \\(>= [0-9.]+\\)")),
                 qPrintable(built.message));
        QVERIFY(runProcess("dpkg-deb", {"--info", base + "/prog_1_arm64.deb"})
                    .standardOutput.contains("\n Architecture: arm64\n"));
    }

    void compressions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("outcome"); // the data member of the package, or the start of the failure
        QTest::addColumn<QString>("note"); // the line that names the compression
        const QString refused = "Ошибка при сборке проекта:\n";
        addRow("xz", "xz", -1, "data.tar.xz", "");
        addRow("xz 0", "xz", 0, "data.tar.xz", "\nСжатие: xz, уровень 0.");
        addRow("zstd 19, window", "zstd", 19, "data.tar.zst", "\nСжатие: zstd, уровень 19.\n");
        addRow("gzip", "gzip", -1, "data.tar.gz", "\nСжатие: gzip.");
        addRow("none", "none", -1, "data.tar", "\nСжатие: none.");
        addRow("zstd 20", "zstd", 20, refused + "Уровень сжатия zstd допускает значения от 1 до 19, а не 20", "");
        addRow("gzip 0", "gzip", 0, refused + "Уровень сжатия gzip допускает значения от 1 до 9, а не 0", "");
        addRow("none 1", "none", 1, refused + "Без сжатия (none) уровень сжатия не задаётся", "");
        addRow("bzip2", "bzip2", -1, refused + "Неизвестный способ сжатия «bzip2»: возможны xz, zstd, gzip, none", "");
        // A hard-linked file edited while dpkg-deb packs no longer matches its md5sums line; with TMPDIR on
        // another file system the copy is staged beside the package, where links can be made.
        const QString edited = refused + "Файл {W}/usr/share/bexlor-compression-check/data изменён во время сборки";
        addRow("edited while packing", "xz", -1, edited, "");
        addRow("edited while packing, TMPDIR elsewhere", "xz", -1, edited, "");
    }

    // The same tree in every compression packs the same data, and builds over hard-linked staging leave the work
    // directory as it was: every byte, mode and link count. A file's mode in the package comes from its own execute
    // bits alone unless the access list records it; a directory is 0755 whatever its own mode.
    void compressions()
    {
        QFETCH(QString, name);
        QFETCH(int, level);
        QFETCH(QString, outcome);
        QFETCH(QString, note);
        const QString package = "bexlor-compression-check", work = root.path() + "/сжатие/" + package;
        const QString output = root.path() + "/сжатие " + QTest::currentDataTag(),
                      data = work + "/usr/share/" + package;
        const QList<QPair<QString, mode_t>> ownModes{
            {"/data", 0644},       {"/secret", 0600}, {"/group", 0640}, {"/shared", 0664},   {"/run", 0755},
            {"/closed/own", 0700}, {"/team", 0750},   {"/wide", 0775},  {"/recorded", 0644}, {"/twice", 0644}};
        if (!QFileInfo::exists(work)) {
            writeFile(work + "/DEBIAN/control", "Package: " + package.toUtf8()
                                                    + "\nVersion: 1\nArchitecture: all\nMaintainer: T <t@e.org>\n"
                                                      "Description: c\n compression check\n");
            for (const auto &[file, mode] : ownModes) {
                writeFile(data + file, "bytes of " + file.toUtf8() + '\n');
                QVERIFY(::chmod(QFile::encodeName(data + file), mode) == 0);
            }
            QVERIFY(::chmod(QFile::encodeName(data + "/closed"), 0700) == 0);
            QVERIFY(::link(QFile::encodeName(data + "/twice"), QFile::encodeName(data + "/second name")) == 0
                    && QFile::link("data", data + "/link"));
            writeFile(dataDirectoryPath() + '/' + package, "/usr/share/" + package.toUtf8() + "/recorded: 640\n");
        }
        const QStringList before = treeSnapshot(work);
        const QByteArray tag = QTest::currentDataTag();
        const bool edits = tag.startsWith("edited");
        QTemporaryDir elsewhere("/dev/shm/bexlor-test-XXXXXX"), here;
        struct stat shm, work_;
        if (tag.endsWith("elsewhere")
            && (!elsewhere.isValid() || ::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(work), &work_) != 0
                || shm.st_dev == work_.st_dev))
            QSKIP("No temporary directory on another file system (/dev/shm)");
        qputenv("TMPDIR", QFile::encodeName(tag.endsWith("elsewhere") ? elsewhere.path() : here.path()));
        if (edits)
            setToolForTesting("fakeroot", root.path() + "/editing fakeroot");
        writeFile(root.path() + "/editing fakeroot",
                  "#!/bin/sh\nprintf edit >> '" + QFile::encodeName(data) + "/data'\nexec /usr/bin/fakeroot \"$@\"\n");
        QVERIFY(QFile::setPermissions(root.path() + "/editing fakeroot", QFile::ReadOwner | QFile::ExeOwner));
        const auto realTools = qScopeGuard([] { clearToolsForTesting(); });
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
        QVERIFY(QDir().mkpath(output));
        Result built;
        if (QByteArray(QTest::currentDataTag()).endsWith("window")) {
            // The level box offers the compressor's levels, its lowest leaving the level to dpkg-deb.
            BexlorWindow window;
            FakeDialogs dialogs;
            window.ui->lineEditProjectDir_2->setText(work), window.ui->lineEditDebDir->setText(output);
            window.ui->checkBoxLint->setChecked(false);
            window.ui->comboBoxCompression->setCurrentText("none");
            QVERIFY(!window.ui->spinBoxLevel->isEnabled());
            window.ui->comboBoxCompression->setCurrentText(name);
            QCOMPARE(window.ui->spinBoxLevel->text(), QString("по умолчанию"));
            QCOMPARE(window.ui->spinBoxLevel->maximum(), 19);
            window.ui->spinBoxLevel->setValue(level);
            window.buidDeb();
            built.message = dialogs.take().join('\n');
            built.success = built.message.startsWith("information: Выполнено! / ");
        } else {
            built = buildPackage(work, output, false, {name, level});
        }
        const QStringList debs = QDir(output).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(entries(output), debs);
        QVERIFY(entries(elsewhere.path()).isEmpty() && entries(here.path()).isEmpty());
        QVERIFY2(built.success == outcome.startsWith("data.tar") && debs.size() == int(built.success),
                 qPrintable(built.message));
        if (edits) {
            QVERIFY2(built.message.startsWith(outcome.replace("{W}", work)), qPrintable(built.message));
            return;
        }
        QCOMPARE(treeSnapshot(work), before);
        if (!built.success) {
            QVERIFY2(built.message.startsWith(outcome), qPrintable(built.message));
            return;
        }
        QVERIFY2(note.isEmpty() ? !built.message.contains("Сжатие") : built.message.contains(note),
                 qPrintable(built.message));
        QCOMPARE(built.message.contains("Пакет сжат zstd: dpkg до версии 1.21.18 (Debian 11 и более ранние) не "
                                        "сможет его установить"),
                 name == "zstd");
        const QString deb = output + '/' + debs.first();
        QVERIFY(runProcess("ar", {"t", deb}).standardOutput.split('\n').contains(outcome));
        QProcess tar;
        tar.start("dpkg-deb", {"--fsys-tarfile", deb});
        QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);
        // The first package read back is the reference: the same entries, the same bytes.
        const QStringList listing = packageListing(deb);
        const QByteArray content = tar.readAllStandardOutput();
        static const QStringList firstListing = listing;
        static const QByteArray firstContent = content;
        QVERIFY2(listing == firstListing, qPrintable(listing.join('\n')));
        for (const auto &[file, mode] : ownModes) {
            const QString packed = file == "/recorded" ? "-rw-r-----" : (mode & 0111) ? "-rwxr-xr-x" : "-rw-r--r--";
            QVERIFY2(listing.contains(packed + " ./usr/share/" + package + file) || file == "/twice", qPrintable(file));
        }
        QVERIFY(listing.contains("drwxr-xr-x ./usr/share/" + package + "/closed/"));
        QVERIFY(content == firstContent && content.contains("bytes of /secret"));
        if (name != "zstd")
            return;
        if (::geteuid() != 0)
            QSKIP("Installing the package needs root: dpkg -i not run");
        const auto purge = qScopeGuard([&] { runProcess("dpkg", {"--purge", package}); });
        const ProcessResult install = runProcess("dpkg", {"-i", deb});
        QVERIFY2(install.succeeded(), qPrintable(install.failureText()));
        QCOMPARE(readFile("/usr/share/" + package + "/run"), QByteArray("bytes of /run\n"));
    }
};

QTEST_MAIN(DebBuildTest)
#include "tst_debbuild.moc"
