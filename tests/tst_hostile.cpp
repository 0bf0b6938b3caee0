// Hostile conditions a user really meets, one table per kind (a full disk,
// FIFOs where files are read, links, leftovers, long messages), and rules
// that no other test holds.
#include "app/bexlorwindow.h"
#include "app/settings.h"
#include "common/filetree.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "desktop/accesswindow.h"
#include "desktop/shortcutwindow.h"
#include "package/editwindow.h"
#include "package/removecontroltwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QComboBox>
#include <QImage>
#include <QRandomGenerator>
#include <QSettings>
#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

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
        while (filler.write(chunk) == chunk.size()) {
        }
        QVERIFY(filler.write("f", 1) != 1);
    }

    static QString picture(const QString &path, Qt::GlobalColor colour)
    {
        QImage image(300, 100, QImage::Format_RGB32);
        image.fill(colour);
        image.save(path);
        return path;
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
        QTest::addColumn<QString>("target");
        QTest::newRow("DEBIAN control, size rewrite on opening") << "control";
        QTest::newRow("shortcut save") << "shortcut";
        QTest::newRow("access list save") << "access";
        QTest::newRow("icon set") << "icons";
        QTest::newRow("profile save") << "profile";
    }

    // Every write on a full disk keeps what was there and names the file in
    // a critical box; no completion box is shown.
    void fullDiskKeepsOldContent()
    {
        QFETCH(QString, target);
        const QString disk = m_dir->path() + "/disk";
        if (!mountSmallDisk(disk))
            QSKIP("mounting a small tmpfs needs root");
        const QString work = disk + "/мой пакет";
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        QString file;
        std::function<void()> act;
        if (target == "control") {
            file = work + "/DEBIAN/control";
            for (const char *name : {"preinst", "postinst", "prerm", "postrm"})
                writeFile(work + "/DEBIAN/" + name, "");
            writeFile(file, "Package: tool\nVersion: 1.0\nInstalled-Size: 99999\nArchitecture: all\n"
                            "Maintainer: Имя <u@example.org>\nDescription: x\n");
            act = [&] { main.editFiles(); };
        } else if (target == "shortcut") {
            file = work + "/usr/share/applications/app.desktop";
            writeFile(file, "[Desktop Entry]\nName=old\n");
            act = [&] {
                main.createShortcut();
                auto *window = qobject_cast<shortcutWindow *>(main.newWindow.data());
                window->textEditCopyright->setPlainText("[Desktop Entry]\nName=new\n");
                window->saveShortcut();
            };
        } else if (target == "access") {
            QVERIFY(QDir().rmdir(dataDirectoryPath()) && QDir().mkpath(disk + "/data")
                    && QFile::link(disk + "/data", dataDirectoryPath()));
            file = dataDirectoryPath() + "/мой пакет";
            writeFile(work + "/usr/bin/tool", "x");
            writeFile(file, "/usr/bin/tool 700\n");
            act = [&] {
                main.editAccess();
                auto *window = qobject_cast<AccessWindow *>(main.newWindow.data());
                window->textEditCopyright->setPlainText("/usr/bin/tool 755\n");
                window->saveAccess();
            };
        } else if (target == "icons") {
            file = work + "/usr/share/icons/hicolor/256x256/apps/мой пакет.png";
            dialogs.paths.enqueue(picture(m_dir->path() + "/red.png", Qt::red));
            main.createIcon();
            QCOMPARE(dialogs.take().last(), QStringLiteral("information: Выполнено! / Файлы иконон созданы"));
            dialogs.paths.enqueue(picture(m_dir->path() + "/blue.png", Qt::blue));
            act = [&] { main.createIcon(); };
        } else {
            QVERIFY(QDir().mkpath(disk + "/config") && QFile::link(disk + "/config", m_home.path() + "/.config"));
            file = settingsFilePath();
            main.ui->lineEditBinary->setText("tool");
            main.ui->lineEditDebDir->setText("/old");
            main.saveProject();
            QCOMPARE(dialogs.take(), QStringList{"information: Выполнено! / Настройки сохранены"});
            act = [&] {
                main.ui->lineEditDebDir->setText("/new");
                main.saveProject();
            };
        }
        const QByteArray before = readFile(file);
        QVERIFY(!before.isEmpty());
        const QStringList entries = QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden);
        fillDisk(disk);
        act();
        const QStringList shown = dialogs.take().filter(QRegularExpression("^(critical|information)"));
        QVERIFY2(shown.size() == 1 && shown[0].startsWith("critical: Ошибка / ") && shown[0].contains(file),
                 qPrintable(shown.join('|')));
        QCOMPARE(readFile(file), before);
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden), entries);
    }

    void trailingSlashNamesThePackage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("one slash") << "/mytool/";
        QTest::newRow("two slashes") << "/mytool//";
    }

    // The access window and its deletion use the list the package build
    // applies: ~/.bexlor/builder/mytool for ".../mytool/".
    void trailingSlashNamesThePackage()
    {
        QFETCH(QString, typed);
        writeFile(m_dir->path() + "/mytool/usr/bin/tool", "x");
        const QString list = dataDirectoryPath() + "/mytool";
        writeFile(list, "/usr/bin/tool: 700\n");
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(m_dir->path() + typed);
        FakeDialogs dialogs;
        main.editAccess();
        auto *window = qobject_cast<AccessWindow *>(main.newWindow.data());
        QCOMPARE(window->textEditCopyright->toPlainText(), QStringLiteral("/usr/bin/tool: 700\n"));
        main.delAccess();
        QCOMPARE(dialogs.take(), QStringList{"information: Выполнено! / Настройки прав доступа очищены!"});
        QVERIFY(!QFileInfo::exists(list));
    }

    void nothingLeftBehind_data()
    {
        QTest::addColumn<QString>("leftover");
        QTest::newRow("staging directory of a killed build") << "staging";
        QTest::newRow("children of a failed tool") << "children";
        QTest::newRow("package on a full output disk") << "package";
    }

    void nothingLeftBehind()
    {
        QFETCH(QString, leftover);
        if (leftover == "children") {
            const ProcessResult run = runProcess("sh", {"-c", "sleep 300 & echo $!; exit 1"});
            QVERIFY(run.started && !run.succeeded());
            const QString stat = "/proc/" + run.standardOutput.trimmed() + "/stat";
            QTRY_VERIFY(!QFileInfo::exists(stat) || readFile(stat).contains(") Z "));
            return;
        }
        const QString work = m_dir->path() + "/пакет $x", output = m_dir->path() + "/out", tmp = m_dir->path() + "/tmp";
        writeFile(work + "/DEBIAN/control", "Package: tool\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@e>\n"
                                            "Description: x\n");
        QVERIFY(QDir().mkpath(output) && QDir().mkpath(tmp));
        const QByteArray tmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp));
        QProcess holder;
        if (leftover == "staging") {
            // A dead build's directory, a living build's (locked), another
            // user's, a link and the user's own directory without the marker.
            writeFile(tmp + "/bexlor-dead01/tool/usr/bin/x", "x");
            for (const char *name : {"dead01", "live01", "other", "link01"})
                writeFile(tmp + "/bexlor-" + name + "/.bexlor-builder-private", "");
            writeFile(tmp + "/bexlor-builds/mine", "mine");
            QVERIFY(QDir().mkpath(output + "/kept"));
            QVERIFY(::chown(QFile::encodeName(tmp + "/bexlor-other").constData(), 65534, 65534) == 0 || ::geteuid() != 0);
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
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        main.ui->lineEditDebDir->setText(output);
        FakeDialogs dialogs;
        main.buidDeb();
        qputenv("TMPDIR", tmpDir);
        holder.kill();
        holder.waitForFinished();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.size() == 1 && shown[0].startsWith(leftover == "staging" ? "information" : "critical"),
                 qPrintable(shown.join('|')));
        if (leftover == "staging") {
            QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{"bexlor-builds", "bexlor-link01", "bexlor-live01", "bexlor-other"}));
            QCOMPARE(QDir(output).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{"kept", "tool_1.0_all.deb"}));
        } else {
            QCOMPARE(QDir(output).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
        }
    }

    void readableMessages_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("30 listed names: 20 shown, all in the details") << "long list";
        QTest::newRow("read-only DEBIAN with all files: no complaint") << "read-only";
    }

    void readableMessages()
    {
        QFETCH(QString, situation);
        const QString work = m_dir->path() + "/пакет", debian = work + "/DEBIAN";
        for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm", "md5sums"})
            writeFile(debian + '/' + name, "");
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        if (situation == "read-only") {
            if (mountSmallDisk(debian)) {
                for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm"})
                    writeFile(debian + '/' + name, "");
                QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", debian}), 0);
            } else {
                QVERIFY(QFile::setPermissions(debian, QFile::ReadOwner | QFile::ExeOwner));
            }
            main.editFiles();
            QCOMPARE(dialogs.take(), QStringList());
            return;
        }
        QStringList names;
        for (int i = 0; i < 30; ++i) {
            names << QString("usr/share/bad\\nname %1").arg(i, 2, 10, QChar('0'));
            writeFile(work + QString("/usr/share/bad\nname %1").arg(i, 2, 10, QChar('0')), "x");
        }
        main.editFiles();
        auto *window = qobject_cast<editWindow *>(main.newWindow.data());
        dialogs.answers.enqueue(true);
        window->updateMD5(work);
        const FakeDialogs::Shown box = dialogs.last();
        const QString header = "Имена этих файлов содержат перевод строки, в md5sums их записать нельзя:\n";
        QStringList listed = box.details.mid(header.size()).split('\n');
        listed.sort();
        QCOMPARE(listed, names);
        QCOMPARE(box.text.split('\n').size(), 21);
        QVERIFY(box.details.startsWith(box.text.section('\n', 0, 19) + '\n'));
        QVERIFY(box.text.endsWith("\n… и ещё 11 строк"));
    }

    void bytesKeptAsTheyAre_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content"); // null: the name is the point
        QTest::newRow("Latin-1 control") << "debian" << QByteArray("control") << QByteArray("Package: caf\xe9\n");
        QTest::newRow("templates with a NUL") << "debian" << QByteArray("templates") << QByteArray("a\0b\n", 4);
        QTest::newRow("Latin-1 shortcut") << "shortcut" << QByteArray("app.desktop") << QByteArray("Name=caf\xe9\n");
        QTest::newRow("access list with a NUL") << "access" << QByteArray() << QByteArray("/x: 600\0\n", 9);
        QTest::newRow("Latin-1 name in the DEBIAN editor") << "debian" << QByteArray("caf\xe9") << QByteArray();
        QTest::newRow("Latin-1 name in the removal list") << "removal" << QByteArray("caf\xe9") << QByteArray();
    }

    // What cannot be shown faithfully is opened read-only or listed in a
    // message, and never changed or dropped without a word.
    void bytesKeptAsTheyAre()
    {
        QFETCH(QString, editor);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        const QString work = m_dir->path() + "/пакет";
        const QString directory = editor == "shortcut" ? work + "/usr/share/applications/"
                                  : editor == "access" ? dataDirectoryPath() + '/' : work + "/DEBIAN/";
        const QByteArray path = QFile::encodeName(directory) + (editor == "access" ? QByteArray("пакет") : name);
        QVERIFY(QDir().mkpath(directory));
        QVERIFY(::close(::creat(path.constData(), 0644)) == 0);
        if (!content.isNull())
            writeFile(QFile::decodeName(path), content);
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        if (content.isNull()) {
            if (editor == "removal") {
                main.removeControlFiles();
                auto *window = qobject_cast<removeControltWindow *>(main.newWindow.data());
                window->delete_.comboBox->setCurrentText("caf\\xe9");
                dialogs.answers.enqueue(true);
                window->removeFile();
                QCOMPARE(dialogs.take().last(), QStringLiteral("information: Выполнено! / Файл caf\\xe9 удален!"));
                QVERIFY(::access(path.constData(), F_OK) != 0);
            } else {
                main.editFiles();
                QCOMPARE(dialogs.take(), QStringList{"critical: Ошибка / Имена этих файлов не в кодировке UTF-8, "
                                                     "открыть их здесь нельзя:\ncaf\\xe9"});
            }
            return;
        }
        QTextEdit *text = nullptr;
        QAbstractButton *save = nullptr;
        if (editor == "debian") {
            main.editFiles();
            auto *window = qobject_cast<editWindow *>(main.newWindow.data());
            window->comboBox->setCurrentText(QString::fromUtf8(name));
            window->openFile();
            text = window->textEditControl;
            save = window->control.saveControl;
        } else if (editor == "shortcut") {
            main.createShortcut();
            auto *window = qobject_cast<shortcutWindow *>(main.newWindow.data());
            text = window->textEditCopyright;
            save = window->copyright.saveControl;
        } else {
            QVERIFY(QDir().mkpath(work));
            main.editAccess();
            auto *window = qobject_cast<AccessWindow *>(main.newWindow.data());
            text = window->textEditCopyright;
            save = window->control->saveControl;
        }
        const QString readOnly = "critical: Ошибка / Файл " + QFile::decodeName(path) + " содержит нулевые байты или "
                                 "текст не в кодировке UTF-8: показать его точно нельзя, поэтому он открыт только для "
                                 "чтения";
        QVERIFY2(dialogs.take().contains(readOnly), qPrintable(readOnly));
        QVERIFY(text->isReadOnly());
        save->click();
        QVERIFY(dialogs.take().value(0).startsWith("critical: Ошибка / Текст открыт только для чтения"));
        QCOMPARE(readFile(QFile::decodeName(path)), content);
    }

    void heldRules_data()
    {
        QTest::addColumn<QString>("rule");
        for (const char *handler : {"editFiles", "removeControlFiles", "createShortcut", "removeShotcut", "createIcon",
                                    "removeImage", "editAccess"}) {
            QTest::newRow(qPrintable(QString("empty field refused: ") + handler)) << handler;
        }
        QTest::newRow("package build checks the output directory first") << "check order";
        QTest::newRow("Installed-Size counts a link by its own size") << "linked size";
        QTest::newRow("checksum button hidden after leaving md5sums") << "md5sums button";
    }

    void heldRules()
    {
        QFETCH(QString, rule);
        BexlorWindow main;
        FakeDialogs dialogs;
        const QString work = m_dir->path() + "/пакет";
        if (rule == "check order") {
            main.buidDeb();
            QCOMPARE(dialogs.take(), QStringList{"critical: Ошибка / Необходимо выбрать каталог для deb-файла"});
        } else if (rule == "linked size") {
            // A link counts once, by its own size (the length of its target), as dpkg counts it:
            // about 2.2 KiB here, never the 10 KiB of the file behind it.
            writeFile(m_dir->path() + "/outside", QByteArray(10240, 'x'));
            writeFile(work + "/DEBIAN/control", "Installed-Size: 0\n");
            const QString target = m_dir->path() + "/" + QString("./").repeated(1100) + "outside";
            QVERIFY(QDir().mkpath(work + "/usr") && QFile::link(target, work + "/usr/link"));
            main.ui->lineEditProjectDir_2->setText(work);
            main.editFiles();
            QCOMPARE(readFile(work + "/DEBIAN/control"), QByteArray("Installed-Size: 2\n"));
        } else if (rule == "md5sums button") {
            writeFile(work + "/DEBIAN/md5sums", "");
            main.ui->lineEditProjectDir_2->setText(work);
            main.editFiles();
            auto *window = qobject_cast<editWindow *>(main.newWindow.data());
            for (const char *name : {"md5sums", "control"}) {
                window->comboBox->setCurrentText(QString::fromUtf8(name));
                emit window->comboBox->activated(window->comboBox->currentIndex());
                QCOMPARE(window->control.updateMd5sum->isVisible(), QByteArray(name) == "md5sums");
            }
        } else {
            dialogs.answers.enqueue(true);
            dialogs.paths.enqueue(m_dir->path() + "/picture.png");
            const QMap<QString, void (BexlorWindow::*)()> handlers{
                {"editFiles", &BexlorWindow::editFiles},           {"removeControlFiles", &BexlorWindow::removeControlFiles},
                {"createShortcut", &BexlorWindow::createShortcut}, {"removeShotcut", &BexlorWindow::removeShotcut},
                {"createIcon", &BexlorWindow::createIcon},         {"removeImage", &BexlorWindow::removeImage},
                {"editAccess", &BexlorWindow::editAccess}};
            (main.*handlers.value(rule))();
            QCOMPARE(dialogs.take(), QStringList{"critical: Ошибка / Необходимо выбрать каталог"});
            QVERIFY(!main.newWindow);
        }
    }

    void fifoIsRefused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("script to build") << "script";
        QTest::newRow("DEBIAN postinst") << "debian";
        QTest::newRow(".desktop file") << "shortcut";
        QTest::newRow("access list") << "access";
        QTest::newRow("icon picture") << "picture";
    }

    // A FIFO where a file is read would block the window for ever: it is
    // refused with a box naming it.
    void fifoIsRefused()
    {
        QFETCH(QString, target);
        const QString work = m_dir->path() + "/пакет $x";
        BexlorWindow main;
        main.ui->lineEditProjectDir_2->setText(work);
        FakeDialogs dialogs;
        QString fifo;
        std::function<void()> act;
        if (target == "script") {
            fifo = m_dir->path() + "/мой-tool.py";
            main.ui->lineEditProjectDir->setText(m_dir->path());
            main.ui->lineEditPy->setText(fifo);
            main.ui->lineEditBinary->setText("tool");
            act = [&] { main.build(); };
        } else if (target == "debian") {
            fifo = work + "/DEBIAN/postinst";
            act = [&] {
                main.editFiles();
                auto *window = qobject_cast<editWindow *>(main.newWindow.data());
                window->comboBox->setCurrentText("postinst");
                window->openFile();
            };
        } else if (target == "shortcut") {
            fifo = work + "/usr/share/applications/app.desktop";
            act = [&] { main.createShortcut(); };
        } else if (target == "access") {
            fifo = dataDirectoryPath() + "/пакет $x";
            act = [&] { main.editAccess(); };
        } else {
            fifo = m_dir->path() + "/picture.png";
            dialogs.paths.enqueue(fifo);
            act = [&] { main.createIcon(); };
        }
        QVERIFY(QDir().mkpath(QFileInfo(fifo).path()) && QDir().mkpath(work));
        QCOMPARE(QProcess::execute("mkfifo", {fifo}), 0);
        act();
        QFile::remove(fifo);
        const QString refusal = "critical: Ошибка / " + fifo + " не является обычным файлом: программа его не открывает";
        QVERIFY2(dialogs.take().contains(refusal), qPrintable(refusal));
        QVERIFY(!QFileInfo::exists(m_dir->path() + "/мой_tool.py"));
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
