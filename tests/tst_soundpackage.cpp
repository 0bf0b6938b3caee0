// A package made only with the program, in the order the program suggests,
// through the real handlers and tools: it builds, lintian finds nothing once
// the documents are made, and as root it installs, verifies, upgrades keeping
// the user's edit of its conffile, and goes again.
#include "app/ui/bexlorwindow.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "desktop/ui/shortcutwindow.h"
#include "package/ui/editwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QImage>
#include <QScopeGuard>
#include <QtTest>
#include <QtWidgets>

#include <unistd.h>

class SoundPackageTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;
    const QString architecture = runProcess("dpkg", {"--print-architecture"}).standardOutput.trimmed();

    // Opens the DEBIAN editor, fills control from the template with edits of
    // the user's own, saves it, and closes the editor again.
    static void writeControl(BexlorWindow &window, const QString &depends)
    {
        window.editFiles();
        auto *editor = qobject_cast<editWindow *>(window.newWindow.data());
        QVERIFY(editor);
        editor->comboBox->setCurrentText("control");
        editor->control.pushButtonTemplate->click();
        QString text = editor->textEditControl->toPlainText();
        text.replace("короткое описание программы", "печатает свои аргументы в JSON");
        // A homepage, without which AppStream 1.0 fails the metainfo; it gives the AppStream id too.
        text.replace("\nDescription:", "\nHomepage: https://sound-check.example.org/\nDescription:");
        if (!depends.isEmpty())
            text.replace("\nDescription:", "\n" + depends + "\nDescription:");
        editor->textEditControl->setPlainText(text);
        editor->control.saveControl->click();
        editor->close();
    }

    // The build as the button runs it; the text of the one box shown.
    static QString build(BexlorWindow &window, FakeDialogs &dialogs, bool lint)
    {
        window.ui->checkBoxLint->setChecked(lint);
        window.ui->pushButtonBuild_2->click();
        // The box text, then what its details hold (lintian's tags).
        const bool details = dialogs.shown.size() == 1 && !dialogs.last().details.isEmpty();
        const QString more = details ? "\n" + dialogs.last().details : QString();
        return dialogs.take().join("\n---\n") + more;
    }

private slots:
    void soundPackage()
    {
        const QString package = "bexlor-sound-check";
        const QString project = root.path() + "/проект $x", work = root.path() + "/work dir/" + package;
        const QString output = root.path() + "/out";
        const QString conffile = "/etc/" + package + ".conf";
        QVERIFY(QDir().mkpath(work + "/usr/bin") && QDir().mkpath(output) && QDir().mkpath(dataDirectoryPath()));
        writeFile(work + conffile, "version = 1\n");
        // A module of its own, a Debian package's module and data read through __file__.
        writeFile(project + "/sound-check.py",
                  "import json\nimport pathlib\nimport sys\n\nimport storage\nimport yaml\n\n\ndef main():\n"
                  "    data = yaml.safe_load((pathlib.Path(__file__).parent / 'default.yaml').read_text())\n"
                  "    print(json.dumps(sys.argv[1:], ensure_ascii=False), storage.NAME, data)\n\n\n"
                  "if __name__ == \"__main__\":\n    main()\n");
        writeFile(project + "/storage.py", "NAME = __name__\n");
        writeFile(project + "/default.yaml", "цвет: синий\n");
        const QString expected =
            runProcess(systemRuntime(), {project + "/sound-check.py", "ё", "$HOME"}, project).standardOutput;
        QCOMPARE(expected, QString("[\"ё\", \"$HOME\"] storage {'цвет': 'синий'}\n"));
        qputenv("DEBFULLNAME", "Пётр Иванов");
        qputenv("DEBEMAIL", "petr@example.net");
        const auto restore = qScopeGuard([] { qunsetenv("DEBFULLNAME"), qunsetenv("DEBEMAIL"); });
        BexlorWindow window;
        FakeDialogs dialogs;

        // The Python script built into usr/bin of the work directory.
        window.ui->lineEditProjectDir->setText(project);
        window.ui->lineEditPy->setText(project + "/sound-check.py");
        window.ui->labelOutputC->setText(project + "/sound_check.c");
        window.ui->lineEditBinaryDir->setText(work + "/usr/bin");
        window.ui->lineEditBinary->setText(package);
        window.ui->pushButtonBuild->click();
        // Its Depends as dpkg-shlibdeps gives it, then the Python packages.
        const QString shown = dialogs.take().join('\n');
        const QString depends = QRegularExpression("\n(Depends: libc6 \\(>= [^)]+\\), lib"
                                                   + QRegularExpression::escape(systemRuntime())
                                                   + " \\(>= [^)]+\\), python3-yaml)\n")
                                    .match(shown)
                                    .captured(1);
        QVERIFY2(!depends.isEmpty(), qPrintable(shown));

        // control from the template, a shortcut from its template, the icons.
        window.ui->lineEditProjectDir_2->setText(work);
        window.ui->lineEditDebDir->setText(output);
        writeControl(window, depends);
        window.createShortcut();
        auto *shortcut = qobject_cast<shortcutWindow *>(window.newWindow.data());
        shortcut->copyright.pushButtonTemplate->click();
        shortcut->lineEditFileName->setText(package);
        shortcut->saveShortcut();
        QImage picture(300, 300, QImage::Format_ARGB32);
        picture.fill(QColor(30, 120, 200));
        QVERIFY(picture.save(root.path() + "/icon.png"));
        dialogs.paths.enqueue(root.path() + "/icon.png");
        window.ui->pushButtonIcon->click();

        // The package build wants no other Depends than the executable build suggested.
        const QString hint = build(window, dialogs, false);
        QVERIFY2(hint.startsWith("information: ") && !hint.contains("Строка для DEBIAN/control"), qPrintable(hint));

        // The documents (a licence asked), then the build with lint: once before the access list was ever generated
        // (the base modes alone must satisfy lintian), once after.
        dialogs.texts << "GPL-3.0-or-later";
        window.ui->pushButtonDocs->click();
        QVERIFY(dialogs.take().last().startsWith("information: Выполнено! / Документы пакета созданы:"));
        for (const bool accessList : {false, true}) {
            QVERIFY(QDir(output).removeRecursively() && QDir().mkpath(output));
            QString result;
            if (accessList) { // and through the command line
                window.editAccess();
                window.newWindow->close();
                QProcess cli;
                cli.start(qEnvironmentVariable("BEXLOR_BUILD"), {"deb", work, output, "--lint"});
                QVERIFY(cli.waitForFinished(300000) && cli.exitCode() == 0);
                result = "information: Выполнено! / " + QString::fromUtf8(cli.readAllStandardError()).trimmed();
            } else {
                result = build(window, dialogs, true);
            }
            QVERIFY2(result.startsWith("information: Выполнено! / "), qPrintable(result));
            const QString lint = result.mid(result.indexOf("Проверка lintian:"));
            QStringList tags = lint.split('\n').mid(1);
            tags.replaceInStrings(QRegularExpression("^(\\w: \\S+ [\\w-]+).*"), "\\1");
            QVERIFY2(lint.startsWith("Проверка lintian: ошибок — 0, ") && tags.isEmpty(), qPrintable(lint));
        }

        const QString first = root.path() + "/1.0-1.deb";
        QVERIFY(QFile::rename(output + "/" + package + "_1.0-1_" + architecture + ".deb", first));

        // The next version, with a changed conffile: the documents step adds its entry.
        writeFile(work + conffile, "version = 2\n");
        writeFile(work + "/DEBIAN/control", readFile(work + "/DEBIAN/control").replace("1.0-1", "1.1-1"));
        window.ui->pushButtonDocs->click();
        QVERIFY(dialogs.take().last().contains("добавлена запись версии 1.1-1"));
        build(window, dialogs, false);

        const QStringList debs = QDir(output).entryList({"*.deb"});
        QCOMPARE(debs.size(), 1);
        if (::geteuid() != 0)
            QSKIP("Installing the package needs root: dpkg -i, --verify and -r not run");
        const auto purge = qScopeGuard([&package] { runProcess("dpkg", {"--purge", package}); });
        const ProcessResult install = runProcess("dpkg", {"-i", first});
        QVERIFY2(install.succeeded(), qPrintable(install.failureText()));
        const ProcessResult verify = runProcess("dpkg", {"--verify", package});
        QVERIFY2(verify.succeeded() && verify.standardOutput.isEmpty(), qPrintable(verify.warnings()));
        // The user's edit of the conffile outlives the upgrade that changes it, dpkg's question answered "keep".
        writeFile(conffile, "version = 1\n# правка\n");
        const ProcessResult upgrade = runProcess("dpkg", {"-i", "--force-confold", output + "/" + debs.first()});
        QVERIFY2(upgrade.succeeded(), qPrintable(upgrade.failureText()));
        QCOMPARE(readFile(conffile), QString("version = 1\n# правка\n").toUtf8());
        // Started by its bare name where files are named like a standard-library module and like its own: it
        // behaves as the interpreter did.
        const QString elsewhere = root.path() + "/elsewhere";
        for (const char *impostor : {"json.py", "storage.py", "yaml.py"})
            writeFile(elsewhere + '/' + QString(impostor), "print('impostor')\n");
        QCOMPARE(runProcess("sh", {"-c", "exec " + package + " \"$@\"", "sh", "ё", "$HOME"}, elsewhere).standardOutput,
                 expected);
        const ProcessResult remove = runProcess("dpkg", {"-r", package});
        QVERIFY2(remove.succeeded() && !QFileInfo::exists("/usr/bin/" + package)
                     && !QFileInfo::exists("/usr/share/doc/" + package) && !QFileInfo::exists("/usr/share/" + package),
                 qPrintable(remove.warnings()));
        QVERIFY(runProcess("dpkg", {"--purge", package}).succeeded() && !QFileInfo::exists(conffile));
        QVERIFY(runProcess("dpkg-query", {"-W", "-f", "${db:Status-Status}", package}).standardOutput != "installed");
    }
};

QTEST_MAIN(SoundPackageTest)
#include "tst_soundpackage.moc"
