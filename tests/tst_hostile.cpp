// Hostile conditions a user really meets, one table per kind: a full disk.
#include "app/bexlorwindow.h"
#include "app/settings.h"
#include "common/paths.h"
#include "desktop/accesswindow.h"
#include "desktop/shortcutwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"
#include "ui_control.h"

#include <QImage>
#include <QSettings>
#include <QTextEdit>
#include <QtTest>

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
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
