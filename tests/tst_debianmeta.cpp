// Checksum lines, installed size and the Installed-Size rewrite, on real trees.
#include "package/debianmeta.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void link(const QString &target, const QString &path)
{
    QVERIFY2(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
             qPrintable(path));
}

// What the distribution's tools list for workDir: find's order, md5sum's
// digests, names unescaped (md5sum -z), paths relative to the work directory.
// Names with a line break are left out, as md5sums cannot hold them.
QByteArray md5sumReference(const QString &workDir)
{
    // find's -path takes a pattern: the work directory's own name is literal.
    QString literal = workDir;
    literal.replace(QRegularExpression(QStringLiteral("([\\\\*?\\[])")), QStringLiteral("\\\\1"));
    QProcess find;
    find.start(QStringLiteral("find"),
               {workDir, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-not"),
                QStringLiteral("-path"), literal + QStringLiteral("/DEBIAN*"), QStringLiteral("-exec"),
                QStringLiteral("md5sum"), QStringLiteral("-z"), QStringLiteral("{}"), QStringLiteral("+")});
    find.waitForFinished();
    const QByteArray prefix = QFile::encodeName(workDir) + '/';
    QByteArray lines;
    for (const QByteArray &record : find.readAllStandardOutput().split('\0')) {
        if (record.isEmpty() || record.contains('\n'))
            continue;
        const int nameStart = record.indexOf("  ") + 2;
        if (record.mid(nameStart, prefix.size()) != prefix)
            continue;
        lines += record.left(nameStart) + record.mid(nameStart + prefix.size()) + '\n';
    }
    return lines;
}

} // namespace

class DebianMetaTest : public QObject
{
    Q_OBJECT

private slots:
    void rewritesInstalledSizeLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("two lines")
            << QByteArray("Installed-Size: 1\nPackage: p\nInstalled-Size:99\n")
            << QByteArray("Installed-Size: 42\nPackage: p\nInstalled-Size: 42\n");
        QTest::newRow("lower case and indented stay")
            << QByteArray("installed-size: 1\n Installed-Size: 2\nInstalled-Size: 3\n")
            << QByteArray("installed-size: 1\n Installed-Size: 2\nInstalled-Size: 42\n");
        QTest::newRow("last line without newline")
            << QByteArray("Package: p\nInstalled-Size: 7") << QByteArray("Package: p\nInstalled-Size: 42\n");
        QTest::newRow("other lines byte for byte")
            << QByteArray("Description: \xff\xfe\r\nInstalled-Size: 7\r\n\n\nend")
            << QByteArray("Description: \xff\xfe\r\nInstalled-Size: 42\n\n\nend");
        QTest::newRow("field name inside a line") << QByteArray("X: Installed-Size: 5\n")
                                                  << QByteArray("X: Installed-Size: 5\n");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void rewritesInstalledSizeLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(withInstalledSize(text, 42), expected);
        QCOMPARE(hasInstalledSizeLine(text), text != expected);
    }

    void installedSizeRoundsDown_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<qint64>("kib");
        QTest::newRow("1023") << 1023 << qint64(0);
        QTest::newRow("1024") << 1024 << qint64(1);
        QTest::newRow("2047") << 2047 << qint64(1);
        QTest::newRow("2048") << 2048 << qint64(2);
    }

    // The bytes are split over a hidden file and a DEBIAN.old directory, which
    // both count; DEBIAN content and anything reached only through links to
    // directories never does.
    void installedSizeRoundsDown()
    {
        QFETCH(int, bytes);
        QFETCH(qint64, kib);
        QTemporaryDir dir;
        const QString w = dir.path() + QStringLiteral("/пакет $a;b");
        writeFile(w + QStringLiteral("/usr/bin/.hidden"), QByteArray(bytes - 100, 'x'));
        writeFile(w + QStringLiteral("/DEBIAN.old/control"), QByteArray(100, 'y'));
        writeFile(w + QStringLiteral("/DEBIAN/control"), QByteArray(5000, 'z'));
        writeFile(w + QStringLiteral("/DEBIAN/sub/postinst"), QByteArray(5000, 'z'));
        link(w + QStringLiteral("/usr"), w + QStringLiteral("/usr/bin/loop"));
        link(dir.path(), w + QStringLiteral("/outside"));
        link(w + QStringLiteral("/missing"), w + QStringLiteral("/broken"));
        QVERIFY(::mkfifo(QFile::encodeName(w + QStringLiteral("/fifo")).constData(), 0644) == 0);
        QCOMPARE(payloadBytes(w), qint64(bytes));
        QCOMPARE(installedSizeKiB(w), kib);
    }

    void linkToFileCountsItsTarget()
    {
        QTemporaryDir dir;
        const QString w = dir.path() + QStringLiteral("/w");
        writeFile(dir.path() + QStringLiteral("/outside.bin"), QByteArray(3000, 'x'));
        QVERIFY(QDir().mkpath(w));
        link(dir.path() + QStringLiteral("/outside.bin"), w + QStringLiteral("/tool"));
        QCOMPARE(installedSizeKiB(w), qint64(2));
        QVERIFY(checksumLines(w).content.isEmpty());
    }

    // A DEBIAN directory reached through a link counts nothing, rather than
    // having its target subtracted from files that were never added.
    void linkedDebianDirectoryNeverGoesNegative()
    {
        QTemporaryDir dir;
        const QString w = dir.path() + QStringLiteral("/w");
        writeFile(dir.path() + QStringLiteral("/meta/control"), QByteArray(9000, 'x'));
        writeFile(w + QStringLiteral("/usr/file"), QByteArray(2048, 'x'));
        link(dir.path() + QStringLiteral("/meta"), w + QStringLiteral("/DEBIAN"));
        QCOMPARE(installedSizeKiB(w), qint64(2));
    }

    void missingDirectoryIsEmpty()
    {
        QCOMPARE(payloadBytes(QStringLiteral("/nonexistent/work")), qint64(0));
        const ChecksumList list = checksumLines(QStringLiteral("/nonexistent/work"));
        QVERIFY(list.content.isEmpty());
        QVERIFY(list.unlistable.isEmpty() && list.unreadable.isEmpty());
    }

    void checksumsMatchMd5sum_data()
    {
        QTest::addColumn<QString>("workName");
        QTest::newRow("plain") << QStringLiteral("pkg");
        QTest::newRow("hostile") << QStringLiteral("my pkg $HOME;`x` 'q\" [a]*? пакет\\");
    }

    void checksumsMatchMd5sum()
    {
        QFETCH(QString, workName);
        QTemporaryDir dir;
        const QString w = dir.path() + QLatin1Char('/') + workName;
        writeFile(w + QStringLiteral("/usr/bin/tool"), "binary\0data");
        writeFile(w + QStringLiteral("/usr/share/doc/with blanks.txt"), "a b c\n");
        writeFile(w + QStringLiteral("/usr/share/doc/Описание.txt"), "текст\n");
        writeFile(w + QStringLiteral("/usr/share/doc/back\\slash"), "\\\n");
        writeFile(w + QStringLiteral("/usr/share/empty"), QByteArray());
        writeFile(w + QStringLiteral("/.hidden"), "h");
        // The work directory's own path again, deeper down, stays in the name.
        writeFile(w + QLatin1Char('/') + w + QStringLiteral("/inner"), "inner");
        writeFile(w + QStringLiteral("/DEBIAN/control"), "Package: p\n");
        writeFile(w + QStringLiteral("/DEBIAN.old/control"), "old\n");
        writeFile(w + QStringLiteral("/DEBIANX"), "x\n");
        writeFile(w + QStringLiteral("/usr/DEBIAN/kept"), "kept\n");
        link(w + QStringLiteral("/usr/bin/tool"), w + QStringLiteral("/usr/bin/tool-link"));
        link(w + QStringLiteral("/usr"), w + QStringLiteral("/usr/share/loop"));
        writeFile(w + QStringLiteral("/usr/share/line\nbreak"), "nl\n");

        const ChecksumList list = checksumLines(w);
        const QByteArray expected = md5sumReference(w);
        QCOMPARE(list.content, expected);
        QCOMPARE(list.unlistable, QStringList{QStringLiteral("usr/share/line\\nbreak")});
        QVERIFY(list.unreadable.isEmpty());
        QVERIFY(expected.contains("  usr/share/doc/back\\slash\n"));
        QVERIFY(expected.contains("  usr/DEBIAN/kept\n"));
        QVERIFY(!expected.contains("DEBIAN.old") && !expected.contains("DEBIANX"));
        QVERIFY(!expected.contains("tool-link") && !expected.contains("loop"));
        QVERIFY(expected.contains("  " + QFile::encodeName(w.mid(1)) + "/inner\n"));
    }
};

QTEST_GUILESS_MAIN(DebianMetaTest)
#include "tst_debianmeta.moc"
