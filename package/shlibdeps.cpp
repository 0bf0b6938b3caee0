#include "package/shlibdeps.h"

#include "common/privatedir.h"
#include "common/processrunner.h"
#include "common/textfiles.h"
#include "exebuild/pythondeps.h"
#include "package/controlcheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

namespace {

bool startsWithElfMagic(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
           && file.read(4)
                  == QByteArray("\x7f"
                                "ELF");
}

// The Depends value of the staged control file, which the build has
// already read and checked.
Result controlDepends(const QString &staging, QString *depends)
{
    QByteArray control;
    const Result read = readRegularFile(staging + QStringLiteral("/DEBIAN/control"), &control);
    if (read.success)
        *depends = parseControl(control).value(QStringLiteral("Depends"));
    return read;
}

// dpkg-shlibdeps -O for the files, run where a minimal debian/control
// makes it believe it is in a source tree.
Result runShlibdeps(const QStringList &files, QString *output)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return directory.made();
    const QString source = directory.path();
    if (!QDir().mkdir(source + QStringLiteral("/debian")))
        return Result::failure(QStringLiteral("Не удалось создать каталог %1/debian").arg(source));
    const Result written = writeFileAtomically(source + QStringLiteral("/debian/control"),
                                               "Source: staged\n\nPackage: staged\nArchitecture: any\n");
    if (written.failed())
        return written;
    QStringList arguments{QStringLiteral("-O"), QStringLiteral("--ignore-missing-info")};
    for (const QString &file : files)
        arguments << QStringLiteral("-e") + file;
    const ProcessResult run = runProcess(QStringLiteral("dpkg-shlibdeps"), arguments, source);
    if (!run.succeeded())
        return Result::failure(run.failureText());
    *output = run.standardOutput;
    return Result::done();
}

} // namespace

QStringList elfFiles(const QString &root)
{
    QStringList files;
    const QString metadata = root + QStringLiteral("/DEBIAN");
    QDirIterator entries(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (!path.startsWith(metadata + QLatin1Char('/')) && startsWithElfMagic(path))
            files << path;
    }
    return files;
}

QStringList shlibsEntries(const QString &output)
{
    const QString prefix = QStringLiteral("shlibs:Depends=");
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    }
    return {};
}

QStringList dependsPackages(const QString &depends)
{
    return relationNames(depends);
}

QStringList missingEntries(const QStringList &entries, const QString &depends)
{
    const QStringList declared = dependsPackages(depends);
    QStringList missing;
    for (const QString &entry : entries) {
        const QStringList named = dependsPackages(entry);
        if (!named.isEmpty() && !declared.contains(named.first()))
            missing << entry;
    }
    return missing;
}

QString dependsLine(const QString &depends, const QStringList &missing)
{
    QString declared = depends.simplified();
    if (declared.endsWith(QLatin1Char(',')))
        declared.chop(1);
    const QStringList entries = (declared.isEmpty() ? QStringList() : QStringList{declared}) + missing;
    return QStringLiteral("Depends: ") + entries.join(QStringLiteral(", "));
}

Result checkSharedLibraries(const QString &staging)
{
    const QStringList files = elfFiles(staging);
    if (files.isEmpty())
        return Result::done();
    QString output, depends;
    Result run = runShlibdeps(files, &output);
    if (run.success)
        run = controlDepends(staging, &depends);
    if (run.failed()) {
        return Result::doneWith(
            {QStringLiteral("Не удалось определить зависимости от библиотек (dpkg-shlibdeps): ") + run.message});
    }
    // Executables built here carry the Python packages they import.
    const QStringList missing = missingEntries(shlibsEntries(output) + notedDepends(files), depends);
    if (missing.isEmpty())
        return Result::done();
    return Result::doneWith(
        {QStringLiteral("Программам пакета нужны библиотеки из пакетов, которых нет в поле Depends: %1.\n"
                        "Строка для DEBIAN/control:\n%2")
             .arg(dependsPackages(missing.join(QStringLiteral(", "))).join(QStringLiteral(", ")),
                  dependsLine(depends, missing))});
}
