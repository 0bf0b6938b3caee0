#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Points HOME at a fresh temporary directory for the lifetime of the object,
// so nothing a test does reaches the real home. Create it before the first
// use of the profile store.
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
};

// Small file helpers for tests.
void writeFile(const QString &path, const QByteArray &content);
QByteArray readFile(const QString &path);

// A 300x100 picture of one colour saved at path, its kind from the extension; the path.
QString writePicture(const QString &path, Qt::GlobalColor colour = Qt::red);

// The names in dir, hidden ones and system entries (FIFOs, sockets) included, "." and ".." left out.
QStringList entries(const QString &dir);

// The entries of a package as `dpkg-deb --contents` lists them, sorted, each
// "type+mode path" (with " -> target" for a link); owner, size and date left out.
QStringList packageListing(const QString &package);

// One row of a data table: its tag, then the values of its columns in order.
template<class... Values>
void addRow(const char *tag, const Values &...values)
{
    (QTest::newRow(tag) << ... << values);
}

// The Installed-Size dpkg-gencontrol computes for the package tree root, every entry below it counted.
qint64 gencontrolInstalledSize(const QString &root);

// A process id that no process has: that of a child that has ended.
qint64 deadPid();

// The processes, zombies and this one aside, whose environment holds text:
// whatever a test started with that text in a variable, the tools and the
// daemons they started included. Each is "PID command line".
QStringList processesWith(const QByteArray &text);

// Every entry below root, sorted, as "path mode links bytes": its path below root, its kind and mode in octal, its
// link count and its content in hexadecimal (a link's target): what a test compares to see that nothing changed.
QStringList treeSnapshot(const QString &root);

// The bytes of a gzip file, decompressed; empty when it cannot be read.
QByteArray gunzipped(const QString &path);

// The runtime of the system's own python3, "python3.X": the one the tests build programs with and whose
// interpreter says what a built program must print.
QString systemRuntime();

// The file of an extension module that a Debian package installs at path (path + ".cpython-*.so", for the
// system's runtime).
QString extensionModule(const QString &path);

// What the real checkers say of a document, one problem a line; empty when
// clean: man's warnings on a manual page, as lintian runs it; the errors,
// warnings and pedantic notes of appstreamcli on metainfo.
QString documentProblems(const QString &path);
