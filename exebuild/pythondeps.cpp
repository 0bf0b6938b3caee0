#include "exebuild/pythondeps.h"

#include "common/processrunner.h"
#include "exebuild/elfsections.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <elf.h>

namespace {

const QString dependsPrefix = QStringLiteral("Depends: ");
const QString recommendsPrefix = QStringLiteral("Recommends: ");

// The runtime package and everything it depends on, as dpkg-query lists
// the installed packages' relationships.
QSet<QString> runtimeClosure(const QString &runtimePackage)
{
    QSet<QString> closure{runtimePackage};
    QStringList next{runtimePackage};
    while (!next.isEmpty()) {
        const ProcessResult query = runQuery(
            QStringLiteral("dpkg-query"),
            QStringList{QStringLiteral("-W"), QStringLiteral("--showformat=${Depends}, ${Pre-Depends},")} + next);
        next.clear();
        for (const QString &name : relationNames(query.standardOutput)) {
            if (!closure.contains(name)) {
                closure.insert(name);
                next << name;
            }
        }
    }
    return closure;
}

// The description of the ELF file's note named Bexlor, read from its note
// sections without loading the file, in the file's byte order and word size
// (a program built for another architecture carries it too); empty without
// one.
QByteArray bexlorNote(const QString &path)
{
    QFile file(path);
    ElfLayout layout;
    if (!file.open(QIODevice::ReadOnly) || !readElfLayout(file, &layout))
        return QByteArray();
    for (const ElfSection &section : qAsConst(layout.sections)) {
        if (section.type != SHT_NOTE || section.size > (1 << 20) || !file.seek(qint64(section.offset)))
            continue;
        const QByteArray notes = file.read(qint64(section.size));
        for (qint64 at = 0; at + 12 <= notes.size();) {
            const quint64 nameSize = elfField(notes, int(at), 4, layout.bigEndian);
            const quint64 descriptionSize = elfField(notes, int(at) + 4, 4, layout.bigEndian);
            // The sizes are 32 bits, rounded up in 64: a damaged note moves on
            // and ends the loop, and nothing is read outside the section.
            const qint64 name = at + 12, description = name + qint64(nameSize + 3) / 4 * 4;
            at = description + qint64(descriptionSize + 3) / 4 * 4;
            if (at <= notes.size() && notes.mid(int(name), int(nameSize)) == QByteArray("Bexlor", 7))
                return notes.mid(int(description), int(descriptionSize));
        }
    }
    return QByteArray();
}

} // namespace

QMap<QString, QStringList> fileOwners(const QString &dpkgSearchOutput)
{
    QMap<QString, QStringList> owners;
    for (const QString &line : dpkgSearchOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int separator = line.indexOf(QStringLiteral(": /"));
        if (separator <= 0 || line.startsWith(QLatin1String("diversion by"))
            || line.startsWith(QLatin1String("local diversion")))
            continue;
        QStringList &packages = owners[line.mid(separator + 2)];
        for (const QString &package : line.left(separator).split(QStringLiteral(", ")))
            packages << package.section(QLatin1Char(':'), 0, 0);
    }
    return owners;
}

QStringList relationNames(const QString &field)
{
    static const QRegularExpression separators(QStringLiteral("[,|]"));
    static const QRegularExpression nameEnd(QStringLiteral("[\\s(:\\[<]"));
    QStringList names;
    for (const QString &part : field.split(separators)) {
        const QString name = part.trimmed().section(nameEnd, 0, 0);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

PythonDependencies sortDependencies(const QList<OutsideImport> &imports, const QMap<QString, QStringList> &owners,
                                    const QSet<QString> &covered)
{
    PythonDependencies sorted;
    for (const OutsideImport &import : imports) {
        const QStringList packages = owners.value(import.file);
        if (packages.isEmpty())
            sorted.warnings << QStringLiteral(
                                   "Модуль %1 загружается из %2, а этот файл не принадлежит ни одному пакету: "
                                   "на другой машине его может не быть.")
                                   .arg(import.name, import.file);
        for (const QString &package : packages) {
            QStringList &list = import.guarded ? sorted.recommends : sorted.depends;
            if (!covered.contains(package) && !list.contains(package))
                list << package;
        }
    }
    for (const QString &package : qAsConst(sorted.depends))
        sorted.recommends.removeAll(package);
    sorted.depends.sort();
    sorted.recommends.sort();
    return sorted;
}

QStringList controlLines(const PythonDependencies &dependencies)
{
    QStringList lines;
    QStringList depends = dependencies.libraries;
    if (!dependencies.runtimePackage.isEmpty()
        && !relationNames(depends.join(QLatin1Char(','))).contains(dependencies.runtimePackage))
        depends << dependencies.runtimePackage;
    depends << dependencies.depends;
    if (!depends.isEmpty())
        lines << dependsPrefix + depends.join(QStringLiteral(", "));
    if (!dependencies.recommends.isEmpty())
        lines << recommendsPrefix + dependencies.recommends.join(QStringLiteral(", "));
    return lines;
}

PythonDependencies findDependencies(const QString &library, const QList<OutsideImport> &imports)
{
    const QString runtimeLibrary = QFileInfo(library).canonicalFilePath();
    QStringList files;
    for (const OutsideImport &import : imports) {
        if (!files.contains(import.file))
            files << import.file;
    }
    if (!runtimeLibrary.isEmpty())
        files << runtimeLibrary;
    // dpkg -S fails when one path has no owner and still lists the others.
    const ProcessResult search = runQuery(QStringLiteral("dpkg"), QStringList{QStringLiteral("-S")} + files);
    const QMap<QString, QStringList> owners = fileOwners(search.standardOutput);
    const QString runtimePackage = owners.value(runtimeLibrary).value(0);
    PythonDependencies found = sortDependencies(
        imports, owners, runtimePackage.isEmpty() ? QSet<QString>() : runtimeClosure(runtimePackage));
    found.runtimePackage = runtimePackage;
    if (!search.started)
        found.warnings << search.failureText();
    if (runtimePackage.isEmpty())
        found.warnings << QStringLiteral("Не удалось определить пакет библиотеки Python, нужный для запуска.");
    return found;
}

QByteArray dependencyNote(const PythonDependencies &dependencies)
{
    PythonDependencies packages = dependencies;
    packages.runtimePackage.clear();
    packages.libraries.clear();
    const QStringList lines = controlLines(packages);
    return lines.isEmpty() ? QByteArray() : lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

QStringList notedDepends(const QStringList &elfFiles)
{
    QStringList packages;
    for (const QString &file : elfFiles) {
        for (const QString &line : QString::fromUtf8(bexlorNote(file)).split(QLatin1Char('\n'))) {
            if (!line.startsWith(dependsPrefix))
                continue;
            for (const QString &package : relationNames(line.mid(dependsPrefix.size()).remove(QChar(0)))) {
                if (!packages.contains(package))
                    packages << package;
            }
        }
    }
    return packages;
}
