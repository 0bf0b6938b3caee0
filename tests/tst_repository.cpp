// Publishing in a signed APT repository, judged by apt itself through a private configuration and a private gpg
// home: nothing of the system's apt or keyrings is touched. And a service's package, its scripts' blocks offered by
// the window, judged by lintian and by dpkg installing it into a throwaway root, where no service ever starts.
#include "app/ui/bexlorwindow.h"
#include "common/processrunner.h"
#include "package/docs/services.h"
#include "package/repo/repository.h"
#include "package/ui/servicewindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>
#include <QtWidgets>

#include <unistd.h>

class RepositoryTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;
    const QString gnupg = root.path() + "/gnupg", apt = root.path() + "/apt";

    // A package of name at version; salt tells two builds of one version apart.
    QString deb(const QString &name, const QString &version, const QString &architecture = "all",
                const QByteArray &salt = "")
    {
        const QString tag = name + '_' + version + '_' + architecture + salt, work = root.path() + "/w/" + tag;
        writeFile(work + "/DEBIAN/control", QString("Package: %1\nVersion: %2\nArchitecture: %3\nMaintainer: T "
                                                    "<t@example.org>\nDescription: test\n test\n")
                                                .arg(name, version, architecture)
                                                .toUtf8());
        writeFile(work + "/usr/share/doc/" + name + "/salt", salt);
        QDir().mkpath(root.path() + "/debs");
        const QString file = root.path() + "/debs/" + tag + ".deb";
        runProcess("dpkg-deb", {"--root-owner-group", "--build", work, file});
        return file;
    }

    // A signed publication of packages in dir, its public key beside it.
    RepositoryRequest request(const QString &dir, const QStringList &packages, bool flat = false)
    {
        RepositoryRequest request;
        request.layout.directory = dir, request.layout.flat = flat, request.packages = packages;
        request.signing = {"Repo Test", gnupg}, request.exportKey = root.path() + "/keyring.gpg";
        return request;
    }

    // apt's verdict on the sources entry: empty when apt-get update takes it without a warning and every one of
    // wanted (NAME or NAME=VERSION) downloads, each file checked against the index; else what apt said.
    QString aptVerdict(const QString &entry, const QStringList &wanted)
    {
        QDir(apt).removeRecursively();
        for (const char *dir : {"parts", "preferences", "state/lists/partial", "cache/archives/partial"})
            QDir().mkpath(apt + '/' + dir);
        writeFile(apt + "/status", "");
        writeFile(apt + "/test.sources", entry.toUtf8());
        writeFile(apt + "/apt.conf", QString("Dir::Etc::sourcelist \"%1/test.sources\";\n"
                                             "Dir::Etc::sourceparts \"%1/parts\";\n"
                                             "Dir::Etc::preferencesparts \"%1/preferences\";\n"
                                             "Dir::State \"%1/state\";\nDir::Cache \"%1/cache\";\n"
                                             "Dir::State::status \"%1/status\";\nAPT::Sandbox::User \"root\";\n")
                                         .arg(apt)
                                         .toUtf8());
        const QStringList environment{"APT_CONFIG=" + apt + "/apt.conf"};
        ProcessResult run = runProcess("apt-get", {"update"}, {}, environment);
        if (!run.succeeded() || run.standardError.contains(QRegularExpression("(^|\n)[WE]: ")))
            return run.failureText();
        for (const QString &package : wanted) {
            run = runProcess("apt-get", {"install", "--download-only", "-y", package}, {}, environment);
            if (!run.succeeded())
                return run.failureText();
        }
        return {};
    }

    static QStringList poolFiles(const QString &dir)
    {
        QStringList files;
        QDirIterator walk(dir + "/pool", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (walk.hasNext())
            files << walk.next().mid(dir.size() + 1);
        files.sort();
        return files;
    }

private slots:
    void initTestCase()
    {
        // Keys without a passphrase in the private home: one that signs, one expired in 2020.
        qputenv("GNUPGHOME", QFile::encodeName(gnupg));
        QVERIFY(QDir().mkpath(gnupg)
                && QFile::setPermissions(gnupg, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const QString key : {"Repo Test", "Old Key"}) {
            const QString expiry = key == "Old Key" ? "1d" : "0";
            writeFile(root.path() + "/key", QString("%no-protection\nKey-Type: eddsa\nKey-Curve: ed25519\nKey-Usage: "
                                                    "sign\nName-Real: %1\nExpire-Date: %2\n%commit\n")
                                                .arg(key, expiry)
                                                .toUtf8());
            QStringList arguments{"--batch", "--gen-key", root.path() + "/key"};
            if (key == "Old Key")
                arguments.prepend("--faked-system-time=20200101T000000");
            QVERIFY(runProcess("gpg", arguments).succeeded());
        }
    }

    void cleanupTestCase() { runProcess("gpgconf", {"--kill", "all"}); }

    void publishes_data()
    {
        QTest::addColumn<bool>("flat");
        addRow("dists", false);
        addRow("flat", true);
    }

    // Two packages, three versions: published, the same bytes again (nothing changes), other bytes under a
    // version there (refused), then --keep and --remove: apt takes every state and finds each file it lists.
    void publishes()
    {
        QFETCH(bool, flat);
        const QString dir = root.path() + "/репозиторий " + QTest::currentDataTag();
        const QString alpha = deb("alpha", "1.1"),
                      arch = runProcess("dpkg", {"--print-architecture"}).standardOutput.trimmed();
        QString entry;
        const Result first = publishRepository(
            request(dir, {deb("alpha", "1.0"), alpha, deb("beta", "1.0", arch)}, flat), &entry);
        QVERIFY2(first.success && entry.contains("\nSigned-By: " + root.path() + "/keyring.gpg\n"),
                 qPrintable(first.message + entry));
        QCOMPARE(aptVerdict(entry, {"alpha=1.0", "alpha=1.1", "beta"}), QString());

        const QStringList before = treeSnapshot(dir);
        const Result again = publishRepository(request(dir, {alpha}, flat), &entry);
        QVERIFY2(again.message.contains("набор stable не изменился:\nуже были в репозитории:\n  alpha 1.1 (all)"),
                 qPrintable(again.message));
        const Result clash = publishRepository(request(dir, {deb("alpha", "1.1", "all", "other")}, flat), &entry);
        QCOMPARE(clash.message, "alpha 1.1 (all) уже есть в репозитории (pool/main/a/alpha/alpha_1.1_all.deb) с другим "
                                "содержимым: под одним именем репозиторий не может отдавать два разных файла. "
                                "Увеличьте версию пакета");
        QCOMPARE(treeSnapshot(dir), before);

        RepositoryRequest keep = request(dir, {deb("alpha", "2.0")}, flat);
        keep.keep = 2;
        QVERIFY(publishRepository(keep, &entry).message.contains("удалены:\n  alpha 1.0 (all)"));
        QCOMPARE(aptVerdict(entry, {"alpha=1.1", "alpha=2.0", "beta"}), QString());
        QVERIFY(aptVerdict(entry, {"alpha=1.0"}).contains("Version '1.0' for 'alpha' was not found"));
        RepositoryRequest remove = request(dir, {}, flat);
        remove.remove = "beta";
        QVERIFY(publishRepository(remove, &entry).success);
        QCOMPARE(aptVerdict(entry, {"alpha=1.1", "alpha"}), QString());
        QVERIFY(aptVerdict(entry, {"beta"}).contains("Unable to locate package beta"));
        QCOMPARE(poolFiles(dir),
                 QStringList({"pool/main/a/alpha/alpha_1.1_all.deb", "pool/main/a/alpha/alpha_2.0_all.deb"}));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said"); // by apt, or by the publication
        addRow("tampered Packages", "tamper", "Hash Sum mismatch");
        addRow("unsigned", "unsigned", "is not signed");
        addRow("missing key", "Nobody", "Ключ подписи «Nobody» не найден среди секретных ключей в связке ключей {G}");
        addRow("expired key", "Old Key", "Ключом «Old Key» ({F}) подписать нельзя: срок его действия истёк");
    }

    // apt refuses a repository whose index was changed, or that is not signed; a key that cannot sign changes
    // nothing, and says why.
    void refused()
    {
        QFETCH(QString, change);
        QFETCH(QString, said);
        const QString dir = root.path() + "/refused " + QTest::currentDataTag();
        RepositoryRequest publication = request(dir, {deb("alpha", "1.0")});
        if (change == "unsigned")
            publication.signing = {}, publication.exportKey.clear();
        else if (change != "tamper")
            publication.signing.key = change;
        QString entry;
        const Result published = publishRepository(publication, &entry);
        if (published.failed()) {
            const QString fingerprint = runProcess("gpg", {"--with-colons", "--list-keys", change})
                                            .standardOutput.section("\nfpr:::::::::", 1)
                                            .section(':', 0, 0);
            QCOMPARE(published.message, QString(said).replace("{G}", gnupg).replace("{F}", fingerprint));
            QVERIFY(!QFileInfo::exists(dir));
            return;
        }
        QDirIterator indexes(dir + "/dists/stable/", {"Packages*"}, QDir::Files, QDirIterator::Subdirectories);
        while (change == "tamper" && indexes.hasNext()) {
            const QString index = indexes.next();
            writeFile(index, readFile(index) + "x");
        }
        QVERIFY2(aptVerdict(entry, {}).contains(said), qPrintable(aptVerdict(entry, {})));
    }

    // A publication stopped after each of its changes on disk, as a kill there would stop it, leaves the old
    // repository or the new one, whole; the next one finishes the work and leaves nothing behind.
    void killedAtEveryStep()
    {
        const QString dir = root.path() + "/killed", saved = root.path() + "/killed-before";
        QString entry;
        QVERIFY(publishRepository(request(dir, {deb("alpha", "1.0"), deb("alpha", "1.1"), deb("beta", "1.0")}), &entry)
                    .success);
        QVERIFY(runProcess("cp", {"-a", dir, saved}).succeeded());
        RepositoryRequest next = request(dir, {deb("alpha", "2.0")});
        next.keep = 2;
        int stops = 0;
        for (Result stopped; stopped.message.isEmpty() || stopped.failed(); ++stops) {
            QVERIFY(QDir(dir).removeRecursively() && runProcess("cp", {"-a", saved, dir}).succeeded());
            setFileOperationLimitForTesting(stops + 1);
            stopped = publishRepository(next, &entry);
            setFileOperationLimitForTesting(0);
            const QString old = aptVerdict(entry, {"alpha=1.0", "alpha=1.1", "beta"});
            QVERIFY2(old.isEmpty() || aptVerdict(entry, {"alpha=1.1", "alpha=2.0", "beta"}).isEmpty(), qPrintable(old));
            QVERIFY(publishRepository(next, &entry).success);
            QCOMPARE(aptVerdict(entry, {"alpha=1.1", "alpha=2.0", "beta"}), QString());
            QCOMPARE(entries(dir + "/dists").size() + entries(dir).size(), 2 + 2);
            QCOMPARE(poolFiles(dir),
                     QStringList({"pool/main/a/alpha/alpha_1.1_all.deb", "pool/main/a/alpha/alpha_2.0_all.deb",
                                  "pool/main/b/beta/beta_1.0_all.deb"}));
        }
        QVERIFY2(stops > 8, qPrintable(QString::number(stops)));

        // A publication that fails halfway (no apt-ftparchive) leaves the repository as it was.
        QVERIFY(QDir(dir).removeRecursively() && runProcess("cp", {"-a", saved, dir}).succeeded());
        const QStringList before = treeSnapshot(dir);
        setToolForTesting("apt-ftparchive", QString());
        const Result failed = publishRepository(next, &entry);
        clearToolsForTesting();
        QVERIFY2(failed.message.startsWith("apt-ftparchive не составил индексы: не удалось запустить"),
                 qPrintable(failed.message));
        QCOMPARE(treeSnapshot(dir), before);
    }

    void blocksAndDepends_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected"); // {B}: the block
        const QByteArray block = serviceBlocks({"a.service"}, {"a.service"}).prerm;
        const QByteArray frame = "#!/bin/sh\nset -e\n\n# x\n\nexit 0\n", helpers = "init-system-helpers (>= 1.54~)";
        addRow("blank script", QByteArray(" \n"), "#!/bin/sh\nset -e\n\n" + block + "\nexit 0\n");
        addRow("before exit 0", frame, "#!/bin/sh\nset -e\n\n# x\n\n" + block + "\nexit 0\n");
        addRow("no exit 0", QByteArray("#!/bin/sh\necho x"), "#!/bin/sh\necho x\n" + block);
        addRow("block replaced", "a\n" + QByteArray(block).replace("a.service", "old") + "b\n", "a\n" + block + "b\n");
        addRow("control without Depends", QByteArray("Package: p\nDescription: d\n x\n"),
               "Package: p\nDepends: " + helpers + "\nDescription: d\n x\n");
        addRow("Depends continued", QByteArray("Package: p\nDepends: a,\n b \nDescription: d\n"),
               "Package: p\nDepends: a,\n b, " + helpers + "\nDescription: d\n");
        const QByteArray implied = "Package: p\nPre-Depends: x, init-system-helpers (>= 1.60)\nDescription: d\n";
        addRow("Pre-Depends implies it", implied, implied);
        addRow("no version", QByteArray("Package: p\nDepends: init-system-helpers\n"),
               "Package: p\nDepends: init-system-helpers, " + helpers + "\n");
    }

    // The block goes before the script's last "exit 0" and replaces its earlier self; Depends gets the helpers
    // unless it has them (a bare name gives no version).
    void blocksAndDepends()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        const QByteArray block = serviceBlocks({"a.service"}, {"a.service"}).prerm;
        QCOMPARE(text.startsWith("Package:") ? withDependency(text, serviceHelpersDependency())
                                             : withServiceBlock(text, block),
                 expected);
    }

    // The unit from the editor's template, the blocks the window offers before the build, the package published:
    // no systemd tag from lintian, and, as root, installed into a throwaway root (the scripts see DPKG_ROOT and
    // start nothing) enabled, then purged without a trace.
    void servicePackage()
    {
        const QString name = "bexlor-service-check", work = root.path() + "/service/" + name;
        const QString out = root.path() + "/service-debs", repository = root.path() + "/service-repo";
        writeFile(work + "/DEBIAN/control",
                  "Package: " + name.toUtf8()
                      + "\nVersion: 1.0\nArchitecture: all\n"
                        "Maintainer: T <t@example.org>\nDescription: test service\n A test.\n");
        writeFile(work + "/usr/bin/" + name, "#!/bin/sh\nexec sleep 1000\n");
        QVERIFY(QFile::setPermissions(work + "/usr/bin/" + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                                     | QFile::ReadOther | QFile::ExeOther)
                && QDir().mkpath(out));
        BexlorWindow window;
        FakeDialogs dialogs;
        window.ui->lineEditProjectDir_2->setText(work);
        window.createService();
        auto *editor = qobject_cast<serviceWindow *>(window.newWindow.data());
        editor->fillTemplate();
        editor->lineEditFileName->setText(name);
        editor->saveUnit();
        editor->close();
        QCOMPARE(dialogs.take(), QStringList{"information: Выполнено! / Изменения сохранены!"});
        QCOMPARE(unhandledServiceUnits(work), QStringList{name + ".service"});

        window.ui->lineEditDebDir->setText(out);
        window.ui->checkBoxLint->setChecked(false);
        window.ui->checkBoxRepo->setChecked(true);
        window.ui->lineEditRepoDir->setText(repository);
        window.ui->lineEditSigningKey->setText("Repo Test");
        dialogs.answers << true;
        window.buidDeb();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.size() == 2 && shown.first().startsWith("question: Службы systemd / Сценарии DEBIAN не включают")
                     && shown.last().contains("добавлены:\n  " + name + " 1.0 (all)\nподписан ключом Repo Test"),
                 qPrintable(shown.join('\n')));
        const QString key = root.path() + "/service.gpg";
        QVERIFY(runProcess("gpg", {"--output", key, "--export", "Repo Test"}).succeeded());
        const QString entry = shown.last().section(".sources:\n", 1);
        QCOMPARE(aptVerdict(QString(entry).replace("/etc/apt/keyrings/service-repo.gpg", key), {}), QString());
        QVERIFY(unhandledServiceUnits(work).isEmpty() && serviceWarnings(work).isEmpty());
        const QString package = out + '/' + name + "_1.0_all.deb";
        const ProcessResult lintian = runProcess("lintian", {"--display-info", "--pedantic", package});
        // The tag's name, not what it points at: the init.d check's note on a unit without an init script is none.
        QCOMPARE(lintian.standardOutput.split('\n').filter(
                     QRegularExpression("^\\w: [^ ]+ [^ ]*(systemd|systemctl|service-file)")),
                 QStringList());

        if (::geteuid() != 0)
            QSKIP("dpkg --root needs root: the installation into a throwaway root not run");
        const QString target = root.path() + "/target",
                      wanted = target + "/etc/systemd/system/multi-user.target.wants/" + name + ".service";
        QVERIFY(QDir().mkpath(target + "/var/lib/dpkg/updates") && QDir().mkpath(target + "/var/lib/dpkg/info")
                && QDir().mkpath(target + "/var/log"));
        writeFile(target + "/var/lib/dpkg/status", "");
        const QStringList dpkg{"--root=" + target, "--force-script-chrootless", "--force-depends"};
        const auto purge = qScopeGuard([&] { runProcess("dpkg", dpkg + QStringList{"--purge", name}); });
        const ProcessResult installed = runProcess("dpkg", dpkg + QStringList{"-i", package});
        QVERIFY2(installed.succeeded() && QFileInfo(wanted).isSymLink(), qPrintable(installed.warnings()));
        QVERIFY(runProcess("dpkg", dpkg + QStringList{"--purge", name}).succeeded());
        QVERIFY(!QFileInfo(wanted).isSymLink()
                && !QFileInfo::exists(target + "/var/lib/systemd/deb-systemd-helper-enabled/" + name
                                      + ".service.dsh-also"));
    }
};

QTEST_MAIN(RepositoryTest)
#include "tst_repository.moc"
