// Real packages, made by dpkg-deb itself or taken from Debian's archive, extracted with dpkg-deb -R, listed in the
// access window and rebuilt through the main window, come back as they were: links as links, special mode bits,
// conffiles, scripts and md5sums (conffiles left out, as Debian's tools do).
#include "app/ui/bexlorwindow.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QCryptographicHash>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The control members of a package, each "name mode" then its bytes, Installed-Size lines left out.
QByteArray controlMembers(const QString &package, const QString &into)
{
    if (!runProcess("dpkg-deb", {"--control", package, into}).succeeded())
        return "dpkg-deb --control failed";
    QByteArray members;
    for (const QFileInfo &member : QDir(into).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        members += member.fileName().toUtf8() + ' ' + QByteArray::number(int(member.permissions()), 16) + '\n';
        QList<QByteArray> lines = readFile(member.filePath()).split('\n');
        // The build makes md5sums afresh from its copy: the same lines, in its walk's order.
        if (member.fileName() == "md5sums")
            std::sort(lines.begin(), lines.end());
        for (const QByteArray &line : qAsConst(lines))
            members += line.startsWith("Installed-Size:") ? QByteArray() : line + '\n';
    }
    return members;
}

} // namespace

class RoundTripTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;

private slots:
    void roundTrip_data()
    {
        // Entries: "f MODE path" (a file), "d MODE path" (a directory), "l path target" (a link).
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("dangling"); // links the build lists as not in the package
        QTest::addColumn<QString>("archive"); // a package of Debian's archive used instead of the entries
        const QString none;
        addRow("libaio1",
               QStringList{"f 644 usr/lib/x86_64-linux-gnu/libaio.so.1.0.2",
                           "l usr/lib/x86_64-linux-gnu/libaio.so.1 libaio.so.1.0.2",
                           "l usr/share/doc/libaio1 gcc-12-base", "f 644 usr/share/doc/x/copyright"},
               QStringList{"/usr/share/doc/libaio1 указывает на gcc-12-base"}, none);
        addRow("passwd",
               QStringList{"f 4755 usr/bin/newgrp", "f 2755 usr/bin/expiry", "f 1755 usr/bin/sticky",
                           "f 4754 usr/bin/newuidmap", "f 600 usr/share/tool/secret", "f 755 usr/share/tool/run.sh",
                           "d 2775 var/lib/tool", "d 1777 var/tmp/tool", "l usr/bin/tool /usr/share/tool/run.sh",
                           "l usr/lib/tool ../share/tool", "l usr/share/tool/loop loop",
                           "l usr/bin/python /usr/bin/python3"},
               QStringList{"/usr/share/tool/loop указывает на loop", "/usr/bin/python указывает на /usr/bin/python3"},
               none);
        // Small packages of Debian's archive with conffiles, ELF programs and links.
        addRow("logrotate", QStringList(), QStringList(), QString("logrotate"));
        addRow("fuse3", QStringList(), QStringList(), QString("fuse3"));
    }

    void roundTrip()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, dangling);
        QFETCH(QString, archive);
        const QString name = QTest::currentDataTag(), base = root.path() + "/круг " + name + " $x 'q'";
        const QString tree = base + "/tree/" + name, work = base + "/work dir/" + name, output = base + "/out";
        QVERIFY(QDir().mkpath(dataDirectoryPath())); // made at start-up
        QByteArray md5sums;
        for (const QString &entry : entries) {
            const QStringList parts = entry.split(' ');
            const bool moded = parts.at(0) == "f" || parts.at(0) == "d";
            const QString relative = parts.at(moded ? 2 : 1), path = tree + '/' + relative;
            if (parts.at(0) == "l") {
                QVERIFY(QDir().mkpath(QFileInfo(path).path()) && QFile::link(parts.mid(2).join(' '), path));
                continue;
            }
            if (parts.at(0) == "d") {
                QVERIFY(QDir().mkpath(path)
                        && ::chmod(QFile::encodeName(path).constData(), parts.at(1).toUInt(nullptr, 8)) == 0);
                continue;
            }
            const QByteArray content = "content of " + relative.toUtf8() + '\n';
            writeFile(path, content);
            QVERIFY(::chmod(QFile::encodeName(path).constData(), parts.at(1).toUInt(nullptr, 8)) == 0);
            md5sums += QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex() + "  " + relative.toUtf8()
                       + '\n';
        }
        writeFile(tree + "/DEBIAN/control", "Package: " + name.toUtf8()
                                                + "\nVersion: 1.0\nArchitecture: all\n"
                                                  "Maintainer: Т <t@e>\nInstalled-Size: 7\nDescription: round trip\n");
        writeFile(tree + "/DEBIAN/md5sums", md5sums);
        for (const char *script : {"/DEBIAN/postinst", "/DEBIAN/prerm"}) {
            writeFile(tree + script, "#!/bin/sh\nset -e\n");
            QVERIFY(::chmod(QFile::encodeName(tree + script).constData(), 0755) == 0);
        }
        QString original = base + "/original.deb";
        if (archive.isEmpty()) {
            QVERIFY(runProcess("fakeroot", {"dpkg-deb", "--build", tree, original}).succeeded());
        } else {
            // The cached package when apt has one, else a fresh download.
            QStringList found = QDir("/var/cache/apt/archives").entryList({archive + "_*.deb"}, QDir::Files);
            if (!found.isEmpty())
                original = "/var/cache/apt/archives/" + found.first();
            else if (runProcess("apt-get", {"download", archive}, base).succeeded()
                     && !(found = QDir(base).entryList({archive + "_*.deb"}, QDir::Files)).isEmpty())
                original = base + '/' + found.first();
            else
                QSKIP("apt cannot fetch the package");
        }
        QVERIFY(QDir().mkpath(output));
        QVERIFY(QDir().mkpath(base + "/work dir") && runProcess("dpkg-deb", {"-R", original, work}).succeeded());

        BexlorWindow window;
        FakeDialogs dialogs;
        window.ui->lineEditProjectDir_2->setText(work), window.ui->lineEditDebDir->setText(output);
        window.ui->checkBoxLint->setChecked(false);
        window.editAccess();
        window.buidDeb();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.size() == 1 && shown.at(0).startsWith("information: Выполнено!"), qPrintable(shown.join('\n')));
        QCOMPARE(shown.at(0).count("которого нет в пакете"), dangling.size());
        for (const QString &link : dangling)
            QVERIFY2(shown.at(0).contains("Ссылка " + link), qPrintable(link));

        const QStringList debs = QDir(output).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString rebuilt = output + '/' + debs.first();
        QCOMPARE(packageListing(rebuilt), packageListing(original));
        QCOMPARE(controlMembers(rebuilt, base + "/rebuilt-control"), controlMembers(original, base + "/control"));
    }
};

QTEST_MAIN(RoundTripTest)
#include "tst_roundtrip.moc"
