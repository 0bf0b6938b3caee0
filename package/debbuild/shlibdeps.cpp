#include "package/debbuild/shlibdeps.h"

#include "common/filesystem.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "exebuild/pythondeps.h"
#include "package/debbuild/buildphases.h"
#include "package/control/paragraph.h"
#include "package/control/relations.h"

#include <QDir>

#include <algorithm>

namespace {

// The entries of a relationship value; none where it does not parse (the
// control check has refused such a value before the build got here).
QList<RelationGroup> relationGroups(const QByteArray &value)
{
    QList<RelationGroup> groups;
    return parseRelations("Depends", value, &groups).success ? groups : QList<RelationGroup>();
}

bool impliedByAny(const RelationGroup &needed, const QList<RelationGroup> &declared)
{
    return std::any_of(declared.begin(), declared.end(),
                       [&](const RelationGroup &group) { return implies(group, needed); });
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

QStringList shlibsEntries(const QString &output)
{
    const QString prefix = QStringLiteral("shlibs:Depends=");
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    }
    return {};
}

QStringList missingEntries(const QStringList &entries, const QList<QByteArray> &declared)
{
    QList<RelationGroup> given;
    for (const QByteArray &value : declared)
        given << relationGroups(value);
    QStringList missing;
    for (const QString &entry : entries) {
        const QList<RelationGroup> needed = relationGroups(entry.toUtf8());
        if (needed.size() != 1 || !impliedByAny(needed.first(), given))
            missing << entry;
    }
    return missing;
}

QString dependsLine(const QString &depends, const QStringList &missing)
{
    QList<RelationGroup> added;
    for (const QString &entry : missing)
        added << relationGroups(entry.toUtf8());
    QStringList entries;
    for (const QString &declared : depends.simplified().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QList<RelationGroup> group = relationGroups(declared.trimmed().toUtf8());
        if (group.size() != 1 || !impliedByAny(group.first(), added))
            entries << declared.trimmed();
    }
    return QStringLiteral("Depends: ") + (entries + missing).join(QStringLiteral(", "));
}

Result checkSharedLibraries(const ControlParagraph &control, const QStringList &files)
{
    if (files.isEmpty())
        return Result::done();
    const PhaseTimer timer(BuildPhase::Elf);
    QString output;
    QStringList warnings;
    const Result run = runShlibdeps(files, &output);
    if (run.failed())
        warnings << QStringLiteral("Не удалось определить зависимости от библиотек (dpkg-shlibdeps): ") + run.message;
    // Executables built here carry the Python packages they import, compared even when dpkg-shlibdeps failed.
    const QStringList missing = missingEntries(
        shlibsEntries(output) + notedDepends(files),
        {control.raw(QStringLiteral("Depends")), control.raw(QStringLiteral("Pre-Depends"))});
    if (!missing.isEmpty()) {
        warnings << QStringLiteral("Программам пакета нужны пакеты, которых не обеспечивают поля Depends и "
                                   "Pre-Depends: %1.\nСтрока для DEBIAN/control:\n%2")
                        .arg(missing.join(QStringLiteral(", ")),
                             dependsLine(control.value(QStringLiteral("Depends")), missing));
    }
    return Result::doneWith(warnings);
}
