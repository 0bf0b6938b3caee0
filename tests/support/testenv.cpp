#include "testenv.h"

#include "common/processrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

TemporaryHome::TemporaryHome()
    : m_oldHome(qgetenv("HOME"))
{
    qputenv("HOME", QFile::encodeName(m_dir.path()));
}

TemporaryHome::~TemporaryHome()
{
    qputenv("HOME", m_oldHome);
}

QString systemRuntime()
{
    return QFileInfo(QFileInfo("/usr/bin/python3").symLinkTarget()).fileName();
}

QString extensionModule(const QString &path)
{
    const QFileInfo module(path);
    const QString abi = "cpython-" + systemRuntime().mid(6).remove('.');
    const QStringList found = module.dir().entryList({module.fileName() + '.' + abi + "-*.so"}, QDir::Files);
    return found.size() == 1 ? module.path() + '/' + found.first() : QString();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

QString writePicture(const QString &path, Qt::GlobalColor colour)
{
    QImage image(300, 100, QImage::Format_RGB32);
    image.fill(colour);
    QTest::qVerify(image.save(path), "image.save(path)", qPrintable(path), __FILE__, __LINE__);
    return path;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList packageListing(const QString &package)
{
    QStringList lines = runProcess(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package})
                            .standardOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.replaceInStrings(QRegularExpression(QStringLiteral(" \\S+ +\\d+ \\S+ \\S+ ")), QStringLiteral(" "));
    lines.sort();
    return lines;
}

qint64 gencontrolInstalledSize(const QString &root)
{
    QTemporaryDir source;
    writeFile(source.path() + "/debian/control", "Source: x\nMaintainer: A <a@b.c>\n\nPackage: x\nArchitecture: all\n"
                                                 "Description: d\n d\n");
    writeFile(source.path() + "/debian/changelog",
              "x (1.0) unstable; urgency=low\n\n  * x\n\n -- A <a@b.c>  Mon, 01 Jan 2024 00:00:00 +0000\n");
    const ProcessResult control = runProcess("dpkg-gencontrol", {"-P" + root, "-O"}, source.path());
    const QRegularExpressionMatch size = QRegularExpression("\nInstalled-Size: (\\d+)\n").match(control.standardOutput);
    return size.hasMatch() ? size.captured(1).toLongLong() : -1;
}

qint64 deadPid()
{
    QProcess child;
    child.start("/bin/true", QStringList());
    child.waitForStarted();
    const qint64 pid = child.processId();
    child.waitForFinished();
    return pid;
}

QStringList processesWith(const QByteArray &text)
{
    QStringList found;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // A zombie's environment reads empty.
        if (pid.toInt() > 0 && pid != self && readFile("/proc/" + pid + "/environ").contains(text))
            found << pid + ' ' + QString::fromUtf8(readFile("/proc/" + pid + "/cmdline").replace('\0', ' '));
    }
    return found;
}

QStringList treeSnapshot(const QString &root)
{
    QStringList entries;
    QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        struct stat status;
        ::lstat(QFile::encodeName(path).constData(), &status);
        const QByteArray bytes = S_ISLNK(status.st_mode)   ? QFile::encodeName(QFile::symLinkTarget(path))
                                 : S_ISREG(status.st_mode) ? readFile(path)
                                                           : QByteArray();
        entries << QString("%1 %2 %3 ").arg(path.mid(root.size())).arg(status.st_mode, 0, 8).arg(status.st_nlink)
                       + bytes.toHex();
    }
    entries.sort();
    return entries;
}

QByteArray gunzipped(const QString &path)
{
    QProcess gzip;
    gzip.start("gzip", {"-dc", path});
    gzip.waitForFinished();
    return gzip.exitCode() == 0 ? gzip.readAllStandardOutput() : QByteArray();
}

QString documentProblems(const QString &path)
{
    if (path.endsWith(".gz")) {
        const ProcessResult man = runProcess("man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path});
        return man.succeeded() ? man.standardError : man.failureText();
    }
    const ProcessResult validate = runProcess("appstreamcli", {"validate", "--no-net", "--pedantic", path});
    const QStringList problems = validate.standardOutput.split('\n').filter(QRegularExpression("^[EWP]: "));
    return validate.succeeded() || !problems.isEmpty() ? problems.join('\n') : validate.failureText();
}
