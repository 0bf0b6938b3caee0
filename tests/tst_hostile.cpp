// Hostile conditions a user really meets, one table per kind (a full disk,
// FIFOs where files are read, links, leftovers, long messages), and rules
// that no other test holds.
#include "app/settings.h"
#include "app/ui/bexlorwindow.h"
#include "common/filesystem.h"
#include "common/paths.h"
#include "common/wording.h"
#include "desktop/accessrights.h"
#include "desktop/ui/shortcutwindow.h"
#include "package/editor/debianeditor.h"
#include "package/ui/editwindow.h"
#include "package/ui/removecontroltwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QComboBox>
#include <QRandomGenerator>
#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Handler = void (BexlorWindow::*)();
Q_DECLARE_METATYPE(Handler)

namespace {

// The main window on a work directory, its boxes scripted.
struct Session
{
    BexlorWindow main;
    FakeDialogs dialogs;
    explicit Session(const QString &work) { main.ui->lineEditProjectDir_2->setText(work); }
    // Runs a handler and returns the tool window it opened.
    template<class W = QWidget>
    W *open(Handler handler)
    {
        (main.*handler)();
        return qobject_cast<W *>(main.newWindow.data());
    }
    // Opens an editor, replaces its text and saves it with its button.
    void retype(Handler handler, const char *text)
    {
        QWidget *window = open(handler);
        window->findChild<QTextEdit *>()->setPlainText(text);
        window->findChild<QAbstractButton *>("saveControl")->click();
    }
};

} // namespace

class HostileTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mounted;

    // A 64 KiB tmpfs at dir, or false when this process may not mount one.
    bool mountSmallDisk(const QString &dir)
    {
        if (::geteuid() != 0 || !QDir().mkpath(dir)
            || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir}) != 0) {
            return false;
        }
        m_mounted = dir;
        return true;
    }

    static void fillDisk(const QString &dir)
    {
        QFile filler(dir + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) == chunk.size()) { }
        QVERIFY(filler.write("f", 1) != 1);
    }

private slots:
    void init() { m_dir.reset(new QTemporaryDir); }

    void cleanup()
    {
        if (!m_mounted.isEmpty())
            QProcess::execute("umount", {"-l", m_mounted});
        m_mounted.clear();
        // QTemporaryDir cannot remove a name that is not UTF-8, nor what a case closed up.
        QVERIFY(removeTree(m_dir->path()).success);
        QFile::remove(m_home.path() + "/.config");
        QFile::remove(dataDirectoryPath());
        QDir().mkpath(dataDirectoryPath());
    }

    void fullDiskKeepsOldContent_data()
    {
        QTest::addColumn<QString>("target"); // control: the size rewrite on opening the DEBIAN editor
        for (const char *target : {"control", "shortcut", "access", "icons", "profile", "executable"})
            addRow(target, target);
    }

    // Every write on a full disk keeps what was there and names the file in
    // a critical box; no completion box is shown.
    void fullDiskKeepsOldContent()
    {
        QFETCH(QString, target);
        const QString disk = m_dir->path() + "/disk", work = disk + "/мой пакет";
        if (!mountSmallDisk(disk))
            QSKIP("mounting a small tmpfs needs root");
        Session s(work);
        QString file = work + "/DEBIAN/control";
        std::function<void()> act = [&] { s.main.editFiles(); };
        if (target == "control") {
            for (const char *name : {"preinst", "postinst", "prerm", "postrm"})
                writeFile(work + "/DEBIAN/" + name, "");
            writeFile(file, "Package: tool\nVersion: 1.0\nInstalled-Size: 99999\nArchitecture: all\n"
                            "Maintainer: Имя <u@example.org>\nDescription: x\n");
        } else if (target == "shortcut") {
            writeFile(file = work + "/usr/share/applications/app.desktop", "[Desktop Entry]\nName=old\n");
            act = [&] { s.retype(&BexlorWindow::createShortcut, "[Desktop Entry]\nName=new\n"); };
        } else if (target == "access") {
            QVERIFY(QDir().rmdir(dataDirectoryPath()) && QDir().mkpath(disk + "/data")
                    && QFile::link(disk + "/data", dataDirectoryPath()));
            writeFile(work + "/usr/bin/tool", "x");
            writeFile(file = dataDirectoryPath() + "/мой пакет", "/usr/bin/tool 700\n");
            act = [&] { s.retype(&BexlorWindow::editAccess, "/usr/bin/tool 755\n"); };
        } else if (target == "icons") {
            file = work + "/usr/share/icons/hicolor/256x256/apps/мой пакет.png";
            s.dialogs.paths.enqueue(writePicture(m_dir->path() + "/red.png", Qt::red));
            s.main.createIcon();
            QCOMPARE(s.dialogs.take().last(), QStringLiteral("information: Выполнено! / Файлы иконон созданы"));
            s.dialogs.paths.enqueue(writePicture(m_dir->path() + "/blue.png", Qt::blue));
            act = [&] { s.main.createIcon(); };
        } else if (target == "executable") {
            const QString source = m_dir->path() + "/src/tool.py";
            writeFile(source, "print('new')\n");
            writeFile(file = work + "/bin/tool", "old binary");
            s.main.ui->lineEditProjectDir->setText(QFileInfo(source).path());
            s.main.ui->lineEditPy->setText(source);
            s.main.ui->labelOutputC->setText(m_dir->path() + "/src/tool.c");
            s.main.ui->lineEditBinaryDir->setText(work + "/bin");
            s.main.ui->lineEditBinary->setText("tool");
            act = [&] { s.main.build(); };
        } else {
            QVERIFY(QDir().mkpath(disk + "/config") && QFile::link(disk + "/config", m_home.path() + "/.config"));
            file = settingsFilePath();
            s.main.ui->lineEditBinary->setText("tool");
            s.main.ui->lineEditDebDir->setText("/old");
            s.main.saveProject();
            QCOMPARE(s.dialogs.take(), QStringList{"information: Выполнено! / Настройки сохранены"});
            act = [&] {
                s.main.ui->lineEditDebDir->setText("/new");
                s.main.saveProject();
            };
        }
        const QByteArray before = readFile(file);
        QVERIFY(!before.isEmpty());
        const QStringList listed = entries(QFileInfo(file).path());
        fillDisk(disk);
        act();
        const QStringList shown = s.dialogs.take().filter(QRegularExpression("^(critical|information)"));
        QVERIFY2(shown.size() == 1 && shown[0].startsWith("critical: Ошибка / ") && shown[0].contains(file),
                 qPrintable(shown.join('|')));
        QCOMPARE(readFile(file), before);
        QCOMPARE(entries(QFileInfo(file).path()), listed);
    }

    void nothingLeftBehind_data()
    {
        QTest::addColumn<QString>("leftover");
        addRow("staging directory of a killed build", "staging");
        addRow("package on a full output disk", "package");
    }

    void nothingLeftBehind()
    {
        QFETCH(QString, leftover);
        const QString work = m_dir->path() + "/пакет $x", output = m_dir->path() + "/out", tmp = m_dir->path() + "/tmp";
        writeFile(work + "/DEBIAN/control", "Package: tool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
                                            "Description: x\n");
        QVERIFY(QDir().mkpath(output) && QDir().mkpath(tmp));
        const QByteArray tmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp));
        QProcess holder;
        const bool staging = leftover == "staging";
        if (staging) {
            // A dead build's directory, a living build's (locked), another
            // user's, a link and the user's own directory without the marker.
            writeFile(tmp + "/bexlor-dead01/tool/usr/bin/x", "x");
            for (const char *name : {"dead01", "live01", "other", "link01"})
                writeFile(tmp + "/bexlor-" + name + "/.bexlor-builder-private", "");
            writeFile(tmp + "/bexlor-builds/mine", "mine");
            QVERIFY(QDir().mkpath(output + "/kept"));
            QVERIFY(::chown(QFile::encodeName(tmp + "/bexlor-other").constData(), 65534, 65534) == 0
                    || ::geteuid() != 0);
            QVERIFY(QDir(tmp + "/bexlor-link01").removeRecursively() && QFile::link(output, tmp + "/bexlor-link01"));
            holder.start("flock", {"-n", tmp + "/bexlor-live01", "sleep", "60"});
            QVERIFY(holder.waitForStarted());
            QTest::qWait(300);
        } else {
            if (!mountSmallDisk(output))
                QSKIP("mounting a small tmpfs needs root");
            QByteArray noise(300 * 1024, 0);
            for (char &byte : noise)
                byte = char(QRandomGenerator::global()->generate());
            writeFile(work + "/usr/share/tool/data", noise);
        }
        Session s(work);
        s.main.ui->lineEditDebDir->setText(output);
        s.main.buidDeb();
        qputenv("TMPDIR", tmpDir);
        holder.kill();
        holder.waitForFinished();
        const QStringList shown = s.dialogs.take();
        QVERIFY2(shown.size() == 1 && shown[0].startsWith(staging ? "information" : "critical"),
                 qPrintable(shown.join('|')));
        if (staging)
            QCOMPARE(entries(tmp), (QStringList{"bexlor-builds", "bexlor-link01", "bexlor-live01", "bexlor-other"}));
        QCOMPARE(entries(output), staging ? (QStringList{"kept", "tool_1.0_all.deb"}) : QStringList{});
    }

    void bytesKeptAsTheyAre_data()
    {
        QTest::addColumn<Handler>("editor");
        QTest::addColumn<QByteArray>("name"); // empty: the package's access list
        QTest::addColumn<QByteArray>("content"); // null: the name is the point
        QTest::addColumn<QString>("refusal"); // why the text is read-only; empty: saved back byte for byte
        const Handler debian = &BexlorWindow::editFiles, shortcut = &BexlorWindow::createShortcut,
                      access = &BexlorWindow::editAccess;
        const QString lineEnds = "концы строк разного вида (LF и CR LF) или одиночные CR",
                      encoding = "нулевые байты или текст не в кодировке UTF-8";
        addRow("CR LF, byte order mark, no-break space, line separator", shortcut, QByteArray("app.desktop"),
               QByteArray("\xEF\xBB\xBF[Desktop Entry]\r\nName=a\xC2\xA0 b\xE2\x80\xA8 c\r\n"), "");
        addRow("CR LF, no final line end", debian, QByteArray("templates"), QByteArray("a\r\n\r\nb"), "");
        addRow("LF and CR LF", shortcut, QByteArray("app.desktop"), QByteArray("a\r\nb\n"), lineEnds);
        addRow("CR alone", debian, QByteArray("templates"), QByteArray("a\rb\r"), lineEnds);
        addRow("CR LF and a CR alone", access, QByteArray(), QByteArray("/x: 600\r\n/y\r/z\r\n"), lineEnds);
        addRow("paragraph separator", debian, QByteArray("templates"), QByteArray("a\xE2\x80\xA9 b"), lineEnds);
        addRow("Latin-1 control", debian, QByteArray("control"), QByteArray("Package: caf\xe9\n"), encoding);
        addRow("templates with a NUL", debian, QByteArray("templates"), QByteArray("a\0b\r\n", 5), encoding);
        addRow("Latin-1 shortcut", shortcut, QByteArray("app.desktop"), QByteArray("Name=caf\xe9\n"), encoding);
        addRow("access list with a NUL", access, QByteArray(), QByteArray("/x: 600\0\n", 9), encoding);
        addRow("Latin-1 name in the DEBIAN editor", debian, QByteArray("caf\xe9"), QByteArray(), "");
        addRow("Latin-1 name in the removal list", Handler(&BexlorWindow::removeControlFiles), QByteArray("caf\xe9"),
               QByteArray(), "");
    }

    // What cannot be shown faithfully is opened read-only or listed in a
    // message, and never changed or dropped without a word; the rest is saved
    // back as it was.
    void bytesKeptAsTheyAre()
    {
        QFETCH(Handler, editor);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, refusal);
        const QString work = m_dir->path() + "/пакет";
        const QString directory = editor == &BexlorWindow::createShortcut ? work + "/usr/share/applications/"
                                  : name.isEmpty()                        ? dataDirectoryPath() + '/'
                                                                          : work + "/DEBIAN/";
        const QByteArray path = QFile::encodeName(directory) + (name.isEmpty() ? QByteArray("пакет") : name);
        QVERIFY(QDir().mkpath(directory) && QDir().mkpath(work));
        QVERIFY(::close(::creat(path.constData(), 0644)) == 0);
        if (!content.isNull())
            writeFile(QFile::decodeName(path), content);
        Session s(work);
        QWidget *window = s.open(editor);
        if (auto *removal = qobject_cast<removeControltWindow *>(window)) {
            removal->delete_.comboBox->setCurrentText("caf\\xe9");
            s.dialogs.answers.enqueue(true);
            removal->removeFile();
            QCOMPARE(s.dialogs.take().last(), QStringLiteral("information: Выполнено! / Файл caf\\xe9 удален!"));
            QVERIFY(::access(path.constData(), F_OK) != 0);
            return;
        }
        if (content.isNull()) {
            QCOMPARE(s.dialogs.take(), QStringList{"critical: Ошибка / Имена этих файлов не в кодировке UTF-8, "
                                                   "открыть их здесь нельзя:\ncaf\\xe9"});
            return;
        }
        if (auto *debianEditor = qobject_cast<editWindow *>(window)) {
            debianEditor->comboBox->setCurrentText(QString::fromUtf8(name));
            debianEditor->openFile();
        }
        // What can be shown faithfully is saved back untouched byte for byte, line ends included.
        const bool editable = refusal.isEmpty();
        const QString readOnly = "critical: Ошибка / Файл " + QFile::decodeName(path) + " содержит " + refusal
                                 + ": показать его точно нельзя, поэтому он открыт только для чтения";
        QCOMPARE(s.dialogs.take().contains(readOnly), !editable);
        QCOMPARE(window->findChild<QTextEdit *>()->isReadOnly(), !editable);
        window->findChild<QAbstractButton *>("saveControl")->click();
        QVERIFY(s.dialogs.take().value(0).startsWith(editable ? "information: Выполнено! / Изменения сохранены!"
                                                              : "critical: Ошибка / Текст открыт только для чтения"));
        QCOMPARE(readFile(QFile::decodeName(path)), content);
    }

    void heldRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("work"); // below the test directory; empty: the field is left empty
        QTest::addColumn<Handler>("handler"); // the one that refuses the empty field
        const QList<QPair<const char *, Handler>> handlers{{"editFiles", &BexlorWindow::editFiles},
                                                           {"removeControlFiles", &BexlorWindow::removeControlFiles},
                                                           {"createShortcut", &BexlorWindow::createShortcut},
                                                           {"removeShotcut", &BexlorWindow::removeShotcut},
                                                           {"createIcon", &BexlorWindow::createIcon},
                                                           {"removeImage", &BexlorWindow::removeImage},
                                                           {"editAccess", &BexlorWindow::editAccess}};
        for (const auto &handler : handlers)
            addRow(qPrintable(QString("empty field refused: ") + handler.first), "empty field", "", handler.second);
        addRow("package build checks the output directory first", "check order", "", Handler());
        addRow("read-only DEBIAN with all files: no complaint", "read-only", "/пакет", Handler());
    }

    void heldRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, work);
        QFETCH(Handler, handler);
        if (!work.isEmpty())
            work.prepend(m_dir->path());
        const QString debian = work + "/DEBIAN";
        if (rule == "read-only") {
            for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm", "md5sums"})
                writeFile(debian + '/' + name, "");
        }
        Session s(work);
        if (rule == "check order") {
            s.main.buidDeb();
            QCOMPARE(s.dialogs.take(), QStringList{"critical: Ошибка / Необходимо выбрать каталог для deb-файла"});
        } else if (rule == "read-only") {
            if (mountSmallDisk(debian)) {
                for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm"})
                    writeFile(debian + '/' + name, "");
                QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", debian}), 0);
            } else {
                QVERIFY(QFile::setPermissions(debian, QFile::ReadOwner | QFile::ExeOwner));
            }
            s.main.editFiles();
            QCOMPARE(s.dialogs.take(), QStringList());
        } else {
            s.dialogs.answers.enqueue(true);
            s.dialogs.paths.enqueue(m_dir->path() + "/picture.png");
            (s.main.*handler)();
            QCOMPARE(s.dialogs.take(), QStringList{"critical: Ошибка / Необходимо выбрать каталог"});
            QVERIFY(!s.main.newWindow);
        }
    }

    // The access list of ".../mytool/" is the one the package build applies; only md5sums offers regeneration.
    void namesFromPaths()
    {
        for (const QString &work : QStringList{"/x/mytool/", "/x/mytool//"})
            QCOMPARE(accessRightsPath(packageName(work)), dataDirectoryPath() + "/mytool");
        QVERIFY(offersChecksums("md5sums") && !offersChecksums("control") && !offersChecksums("md5sums~"));
    }

    // The noun after a number in the program's own texts, and what a box shows of a long text.
    void wording()
    {
        const QMap<const char *, QList<int>> forms{
            {"строку", {1, 21, 101}}, {"строки", {2, 4, 22}}, {"строк", {0, 5, 11, 12, 14, 111, 112, 25}}};
        for (auto it = forms.begin(); it != forms.end(); ++it)
            for (int n : it.value())
                QCOMPARE(pluralForm(n, "строку", "строки", "строк"), QString::fromUtf8(it.key()));
        QStringList lines;
        for (int i = 0; i < 23; ++i)
            lines << QString::number(i);
        const QString first = QStringList(lines.mid(0, 20)).join('\n');
        const BoxText cut = boxText(lines.join('\n'), "tags"), whole = boxText(first, "tags");
        QCOMPARE(cut.text + '|' + cut.details, first + "\n… и ещё 3 строки|" + lines.join('\n') + "\n\ntags");
        QCOMPARE(whole.text + '|' + whole.details, first + "|tags");
    }

    // A mode change never goes through a link, whatever it leads to.
    void modeNeverThroughALink()
    {
        const QString file = m_dir->path() + "/файл $x", link = m_dir->path() + "/ссылка";
        const auto mode = [&file] {
            struct stat status;
            return ::stat(QFile::encodeName(file).constData(), &status) == 0 ? status.st_mode & 07777 : 0u;
        };
        writeFile(file, "x");
        QVERIFY(QFile::link(file, link) && setMode(file, 0600).success && mode() == 0600);
        QCOMPARE(setMode(link, 0755).message, link + " - ссылка: права доступа через неё не меняются");
        QCOMPARE(mode(), 0600u);
    }

    void hostileInput_data()
    {
        QTest::addColumn<QString>("input");
        addRow("DEBIAN file of 1 GiB, under ulimit -v", "huge DEBIAN file");
        addRow("data file of 3 GiB, sparse, on a disk", "sparse data file");
    }

    // Files far beyond what a user means: nothing ends the program, nothing
    // arrives changed or cut short.
    void hostileInput()
    {
        QFETCH(QString, input);
        const qint64 gib = qint64(1) << 30;
        if (input == "sparse data file") {
            // On a disk: tmpfs would hold the holes of a copy that fills them in memory.
            QTemporaryDir disk(QCoreApplication::applicationDirPath() + "/hostile-XXXXXX");
            const QString source = disk.path() + "/data", copy = disk.path() + "/copy";
            writeFile(source, "head");
            QFile file(source);
            QVERIFY(file.resize(3 * gib) && file.open(QIODevice::ReadWrite) && file.seek(3 * gib - 4)
                    && file.write("tail") == 4);
            file.close();
            const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY);
            const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
            ::close(fd);
            if (hole <= 0 || hole >= 3 * gib)
                QSKIP("this file system does not report holes (SEEK_HOLE)");
            QVERIFY(copyFileAtomically(source, copy).success);
            struct stat status;
            QVERIFY(::stat(QFile::encodeName(copy).constData(), &status) == 0);
            QVERIFY2(status.st_size == 3 * gib && status.st_blocks * 512 < 1 << 20,
                     qPrintable(QString::number(status.st_blocks)));
            file.setFileName(copy);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.read(4), QByteArray("head"));
            QVERIFY(file.seek(gib) && file.read(4) == QByteArray(4, 0) && file.seek(3 * gib - 4));
            QCOMPARE(file.read(8), QByteArray("tail"));
            return;
        }
        const QString work = m_dir->path() + "/пакет", huge = work + "/DEBIAN/templates";
        writeFile(work + "/DEBIAN/control", "Package: x\n");
        writeFile(huge, "");
        QVERIFY(QFile::resize(huge, gib));
        Session s(work);
        // Room for the program's own work, none for the file read whole.
        rlimit limit;
        QVERIFY(::getrlimit(RLIMIT_AS, &limit) == 0);
        const rlim_t used = readFile("/proc/self/statm").split(' ').value(0).toULongLong() * ::sysconf(_SC_PAGESIZE);
        const rlimit lowered{std::min<rlim_t>(used + 2 * gib, limit.rlim_max), limit.rlim_max};
        QVERIFY(::setrlimit(RLIMIT_AS, &lowered) == 0);
        auto *editor = s.open<editWindow>(&BexlorWindow::editFiles);
        editor->comboBox->setCurrentText("templates");
        editor->openFile();
        QVERIFY(::setrlimit(RLIMIT_AS, &limit) == 0);
        const QString refusal = "critical: Ошибка / Файл " + huge
                                + " слишком велик для редактора (1073741824 байт, открываются файлы до 64 МиБ): он "
                                  "не открыт и не изменён";
        QVERIFY2(s.dialogs.take().contains(refusal), qPrintable(refusal));
        editor->findChild<QAbstractButton *>("saveControl")->click();
        QVERIFY(s.dialogs.take().value(0).startsWith("critical: Ошибка / Текст открыт только для чтения"));
        QCOMPARE(QFileInfo(huge).size(), gib);
        editor->comboBox->setCurrentText("control");
        editor->openFile();
        QVERIFY(!editor->textEditControl->isReadOnly() && editor->textEditControl->toPlainText().contains("Package:"));
    }

    void fifoIsRefused_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::addColumn<QString>("fifo"); // T: the test directory, W: the work directory, A: the access lists
        addRow("script to build", Handler(&BexlorWindow::build), "T/мой-tool.py");
        addRow("DEBIAN postinst", Handler(&BexlorWindow::editFiles), "W/DEBIAN/postinst");
        addRow(".desktop file", Handler(&BexlorWindow::createShortcut), "W/usr/share/applications/app.desktop");
        addRow("access list", Handler(&BexlorWindow::editAccess), "A/пакет $x");
        addRow("icon picture", Handler(&BexlorWindow::createIcon), "T/picture.png");
    }

    // A FIFO where a file is read would block the window for ever: it is
    // refused with a box naming it.
    void fifoIsRefused()
    {
        QFETCH(Handler, handler);
        QFETCH(QString, fifo);
        const QString work = m_dir->path() + "/пакет $x";
        const QMap<QChar, QString> roots{{'T', m_dir->path()}, {'W', work}, {'A', dataDirectoryPath()}};
        fifo.replace(0, 1, roots[fifo[0]]);
        Session s(work);
        if (handler == &BexlorWindow::build) {
            s.main.ui->lineEditProjectDir->setText(m_dir->path());
            s.main.ui->lineEditPy->setText(fifo);
            s.main.ui->lineEditBinary->setText("tool");
        } else if (handler == &BexlorWindow::createIcon) {
            s.dialogs.paths.enqueue(fifo);
        }
        QVERIFY(QDir().mkpath(QFileInfo(fifo).path()) && QDir().mkpath(work));
        QCOMPARE(QProcess::execute("mkfifo", {fifo}), 0);
        if (auto *debianEditor = s.open<editWindow>(handler)) {
            debianEditor->comboBox->setCurrentText("postinst");
            debianEditor->openFile();
        }
        QFile::remove(fifo);
        const QString refusal = "critical: Ошибка / " + fifo
                                + " не является обычным файлом: программа его не открывает";
        QVERIFY2(s.dialogs.take().contains(refusal), qPrintable(refusal));
        QVERIFY(!QFileInfo::exists(m_dir->path() + "/мой_tool.py"));
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
