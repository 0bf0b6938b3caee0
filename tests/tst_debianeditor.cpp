// The DEBIAN file editor driven through the main window, checked on disk and in its boxes.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "package/control/checksums.h"
#include "package/control/controlcheck.h"
#include "package/ui/editwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QRandomGenerator>
#include <QtTest>
#include <QtWidgets>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// What dh_md5sums writes for w: the regular files below it but DEBIAN*, sorted by their path's bytes, through md5sum
// (-z: names as they are); names with a line break left out.
QByteArray md5sumReference(const QString &w)
{
    QProcess find, sort, md5sum;
    find.setWorkingDirectory(w);
    md5sum.setWorkingDirectory(w);
    find.setStandardOutputProcess(&sort);
    sort.setStandardOutputProcess(&md5sum);
    QProcessEnvironment byBytes = QProcessEnvironment::systemEnvironment();
    byBytes.insert("LC_ALL", "C");
    sort.setProcessEnvironment(byBytes);
    // Conffiles left out too: every file under etc/ and the one DEBIAN/conffiles lists.
    find.start("find", {".", "-type", "f", "-not", "-path", "./DEBIAN*", "-not", "-name", "*\n*", "-not", "-path",
                        "./etc/*", "-not", "-path", "./usr/share/conf", "-printf", "%P\\0"});
    sort.start("sort", {"-z"});
    md5sum.start("xargs", {"-r0", "md5sum", "-z"});
    find.waitForFinished();
    sort.waitForFinished();
    md5sum.waitForFinished();
    return md5sum.readAllStandardOutput().replace('\0', '\n');
}
} // namespace

class DebianEditorTest : public QObject
{
    Q_OBJECT

    TemporaryHome m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BexlorWindow> m_main;

    // Blanks, shell and glob characters, a backslash and Cyrillic letters.
    QString work() const { return m_dir->path() + "/мой пакет $x;'q\" [a]*?\\"; }
    QString deb(const QString &name) const { return work() + "/DEBIAN/" + name; }
    editWindow *open()
    {
        m_main->editFiles();
        return qobject_cast<editWindow *>(m_main->newWindow.data());
    }
    static void select(editWindow *window, const QString &name)
    {
        window->comboBox->setCurrentText(name);
        emit window->comboBox->activated(window->comboBox->currentIndex());
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_main.reset(new BexlorWindow);
        m_main->ui->lineEditProjectDir_2->setText(work());
    }

    void openingCreatesFilesThenRewritesOnlySizes_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("linkedDebian");
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("tree %u", seed) << seed << false;
        QTest::newRow("tree 4, DEBIAN a link") << 4u << true;
    }

    // Installed-Size is dpkg-gencontrol's count on what dpkg-deb packs (a copy without the top-level DEBIAN*
    // entries) of a seeded tree: sizes around multiples of 1024, empty files, links, hard links, FIFOs, empty
    // directories; every spelling of the field's name is rewritten.
    void openingCreatesFilesThenRewritesOnlySizes()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, linkedDebian);
        FakeDialogs dialogs;
        auto *window = open();
        QVERIFY(window && window->isVisible() && window->control.updateMd5sum->isHidden()
                && window->control.checkBox->isHidden());
        const QStringList standard = {"control", "postinst", "postrm", "preinst", "prerm"};
        QCOMPARE(entries(deb("")), standard);
        for (const QString &name : standard)
            QVERIFY(QFileInfo(deb(name)).size() == 0 && window->comboBox->findText(name) >= 0);

        const QString meta = m_dir->path() + "/meta";
        if (linkedDebian)
            QVERIFY(QDir().rename(deb(""), meta) && QFile::link(meta, work() + "/DEBIAN"));
        writeFile(deb("control"), "Installed-Size: 1\ninstalled-size : 2\n Installed-Size: 3\nX: y\nInstalled-Size: 4");
        QVERIFY(QFile::setPermissions(deb("control"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        writeFile(deb("postinst"), QByteArray(5000, 'z'));
        QRandomGenerator random(seed);
        QStringList directories{work()}, files{deb("postinst")};
        for (int i = 0; i < 60; ++i) {
            const QString path = directories.at(random.bounded(directories.size())) + QString("/e%1").arg(i);
            const QByteArray name = QFile::encodeName(path);
            const int kind = random.bounded(8);
            if (kind == 0 && QDir().mkdir(path))
                directories << path;
            else if (kind == 1)
                QVERIFY(::symlink(QByteArray(random.bounded(1, 2100), 'l').constData(), name.constData()) == 0);
            else if (kind == 2)
                QVERIFY(::link(QFile::encodeName(files.at(random.bounded(files.size()))).constData(), name.constData())
                        == 0);
            else if (kind == 3)
                QVERIFY(::mkfifo(name.constData(), 0644) == 0);
            else
                writeFile(path, QByteArray(qMax(0, 1024 * random.bounded(4) + random.bounded(-1, 2)), 'x')),
                    files << path;
        }
        writeFile(work() + "/DEBIAN.old/control", QByteArray(100, 'y'));
        writeFile(work() + "/DEBIANx", "x");
        m_main->editFiles();
        QVERIFY(dialogs.take().isEmpty());

        const QString shipped = m_dir->path() + "/shipped";
        QStringList copied{"-a"};
        for (const QString &entry : entries(work()))
            copied << (entry.startsWith("DEBIAN") ? QStringList() : QStringList{work() + '/' + entry});
        QVERIFY(QDir().mkdir(shipped) && QProcess::execute("cp", copied << shipped) == 0);
        const QString sized = "Installed-Size: %1\nInstalled-Size: %1\n Installed-Size: 3\nX: y\nInstalled-Size: %1\n";
        QCOMPARE(readFile(deb("control")), sized.arg(gencontrolInstalledSize(shipped)).toUtf8());
        QCOMPARE(int(QFile::permissions(deb("control"))), 0x7700);
        QCOMPARE(readFile(deb("postinst")), QByteArray(5000, 'z'));
    }

    void templates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QByteArray>("fullName");
        QTest::addColumn<QString>("start"); // of the editor's text
        addRow("control, DEBEMAIL", "", "control", QByteArray("Пётр Иванов"),
               "Package: xq\nVersion: 1.0-1\nSection: utils\nPriority: optional\n"
               "Architecture: %1\nMaintainer: Пётр Иванов <p@example.net>\n");
        addRow("control, account", "control", "postinst", QByteArray(),
               "Package: xq\nVersion: 1.0-1\nSection: utils\nPriority: optional\n"
               "Architecture: %1\nMaintainer: %2");
        addRow("typed script wins", "prerm", "control", QByteArray(),
               "#!/bin/sh\nset -e\n\n# prerm выполняется перед удалением");
        addRow("config", "config", "", QByteArray(), "#!/bin/sh\nset -e\n\n# config ");
        addRow("no template", "", "md5sums", QByteArray(), "kept");
    }

    // The template goes into the editor only; the control one passes the package build without a warning.
    void templates()
    {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(QByteArray, fullName);
        QFETCH(QString, start);
        m_main->ui->lineEditProjectDir_2->setText(m_dir->path() + "/X_q $Ы");
        writeFile(m_dir->path() + "/X_q $Ы/DEBIAN/md5sums", "");
        qputenv("DEBFULLNAME", fullName);
        qputenv("DEBEMAIL", "p@example.net");
        FakeDialogs dialogs;
        auto *window = open();
        window->lineEditFileName->setText(typed);
        window->comboBox->setCurrentText(selected);
        window->textEditControl->setPlainText("kept");
        window->control.pushButtonTemplate->click();
        qunsetenv("DEBFULLNAME");
        qunsetenv("DEBEMAIL");
        const QString text = window->textEditControl->toPlainText();
        const QString arch = runProcess("dpkg", {"--print-architecture"}).standardOutput.trimmed();
        const QString expected = QString(start).replace("%1", arch);
        QVERIFY2(text.startsWith(expected.section("%2", 0, 0)), qPrintable(text));
        QCOMPARE(text.contains("@example.org>\nDescription: "), expected.contains("%2"));
        QCOMPARE(readFile(deb("control")), QByteArray());
        if (text.startsWith("#!"))
            QVERIFY(text.endsWith("\n\nexit 0\n"));
        if (text.startsWith("Package")) {
            const ControlVerdict verdict = checkControlText(text.toUtf8());
            QVERIFY2(verdict.errors.isEmpty() && verdict.warnings.isEmpty(),
                     qPrintable((verdict.errors + verdict.warnings).join('\n')));
        }
        QCOMPARE(dialogs.take(), selected == "md5sums" ? QStringList{"critical: Ошибка / Для файла «md5sums» "
                                                                     "шаблона нет: шаблоны есть для control, preinst, "
                                                                     "postinst, prerm, postrm и config"}
                                                       : QStringList());
    }

    void editingSavingAndChecksums()
    {
        const QString w = work();
        const QByteArray markup = "<b>bold</b> &amp; <i>x</i>\n<p>para</p>\n";
        writeFile(deb("templates"), markup);
        writeFile(deb("md5sums"), "stale\n");
        writeFile(deb("sub/inner"), "inner\n");
        writeFile(w + "/usr/bin/мой tool\\x", "tool");
        writeFile(w + "/DEBIAN.old/control", "old");
        writeFile(w + "/usr/DEBIAN/kept", "kept");
        writeFile(w + "/usr/share/bad\nname", "nl");
        writeFile(deb("conffiles"), "remove-on-upgrade /usr/share/x\n//usr/share/conf");
        for (const char *file : {"/usr/share/conf", "/usr/share/confx", "/etc/a.conf", "/etc/Я/b", "/etc/\r"})
            writeFile(w + file, file);
        for (const char *name : {"b", "Z", "a.b", "a", "ё", "_", "a-b", "\xff"}) // the walk meets them out of order
            writeFile(w + "/usr/share/" + QFile::decodeName(name), name);
        QVERIFY(QFile::link(w + "/usr/bin/мой tool\\x", w + "/usr/link") && QFile::link(w + "/usr", w + "/usr/loop"));
        QCOMPARE(QProcess::execute("mkfifo", {w + "/usr/fifo"}), 0);
        const bool scratch = QFileInfo::exists("/tmp/md5sums");
        // What writes killed midway leave: the md5sums write removes those whose process is gone or whose
        // pid another process took (nobody holds their lock), never one still being written.
        const QString dead = QString(".md5sums.bexlor-%1.dead01").arg(deadPid()), reused = ".md5sums.bexlor-1.reuse1";
        const QString live = QString(".md5sums.bexlor-%1.live01").arg(QCoreApplication::applicationPid());
        for (const QString &name : {dead, reused, live})
            writeFile(deb(name), "partial");
        const int writing = ::open(QFile::encodeName(deb(live)).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(writing >= 0 && ::flock(writing, LOCK_EX) == 0);
        FakeDialogs dialogs;
        auto *window = open();
        select(window, "templates");
        QCOMPARE(window->textEditControl->toPlainText(), QString::fromUtf8(markup));
        window->control.saveControl->click();

        select(window, "md5sums");
        QVERIFY(window->control.updateMd5sum->isVisible());
        window->control.updateMd5sum->click();
        QCOMPARE(readFile(deb("md5sums")), QByteArray("stale\n"));
        dialogs.answers.enqueue(true);
        window->control.updateMd5sum->click();
        const QByteArray written = readFile(deb("md5sums"));
        QCOMPARE(written, md5sumReference(w));
        QVERIFY(written.contains("  usr/bin/мой tool\\x\n") && written.contains("  usr/DEBIAN/kept\n")
                && written.contains("  usr/share/confx\n") && !written.contains("etc/"));
        QCOMPARE(window->textEditControl->toPlainText(), QString::fromUtf8(written));
        const QString question = "question: Обновление контрольных сумм / Внимание!\nБудет выполнен перерасчет "
                                 "контрольных сумм.\nФайл md5sums будет перезаписан. Вы согласны?";
        QCOMPARE(dialogs.take(), QStringList({"information: Выполнено! / Изменения сохранены!", question, question,
                                              "critical: Ошибка / Имена этих файлов содержат перевод строки, в "
                                              "md5sums их записать нельзя:\nusr/share/bad\\nname"}));
        QCOMPARE(QFileInfo::exists("/tmp/md5sums"), scratch);
        QVERIFY(!QFileInfo::exists(deb(dead)) && !QFileInfo::exists(deb(reused)) && QFileInfo::exists(deb(live)));
        ::close(writing);

        // A typed name wins over the listed one; then the field is cleared and the saved file shown.
        window->textEditControl->setPlainText("Текст\n");
        window->lineEditFileName->setText(" мой файл ");
        for (int round = 0; round < 2; ++round) { // the second saves the shown file again, nothing else
            window->control.saveControl->click();
            QCOMPARE(readFile(deb(" мой файл ")) + readFile(deb("md5sums")), QString("Текст\n").toUtf8() + written);
            QCOMPARE(dialogs.take(), {"information: Выполнено! / Изменения сохранены!"});
            QVERIFY(window->lineEditFileName->text().isEmpty() && window->comboBox->currentText() == " мой файл ");
            QCOMPARE(window->textEditControl->toPlainText(), QStringLiteral("Текст\n"));
        }

        // A failed write leaves what was there and the editor's text.
        window->textEditControl->setPlainText("new");
        for (const char *name : {"sub", "missing/file", "templates/x"}) {
            window->lineEditFileName->setText(name);
            window->saveFiles();
            const QStringList shown = dialogs.take();
            QVERIFY(shown.size() == 1 && shown[0].startsWith("critical: Ошибка / ") && shown[0].contains(deb(name)));
        }
        QCOMPARE(readFile(deb("templates")) + readFile(deb("sub/inner")), markup + "inner\n");
        QCOMPARE(window->textEditControl->toPlainText(), QStringLiteral("new"));

        QVERIFY(QDir(deb("")).removeRecursively());
        dialogs.answers.enqueue(true);
        window->updateMD5(w);
        QCOMPARE(dialogs.take().last(), QStringLiteral("critical: Ошибка / Файл md5sums не найден"));
        // A work directory that is missing, or that a name not in UTF-8 cannot name, is said to be missing.
        const QByteArray latin1 = QFile::encodeName(w) + "/\xff";
        QVERIFY(::mkdir(latin1.constData(), 0755) == 0);
        for (const QString &missing : {w + "/нет", QFile::decodeName(latin1)})
            QCOMPARE(writeChecksums(missing).message, "Каталог " + missing + " не найден");
        QVERIFY(::rmdir(latin1.constData()) == 0);
    }
};

QTEST_MAIN(DebianEditorTest)
#include "tst_debianeditor.moc"
