#include "package/debbuild/shlibdeps.h"

#include "exebuild/pythondeps.h"
#include "exebuild/shipready.h"
#include "package/control/paragraph.h"
#include "package/control/relations.h"
#include "package/debbuild/buildphases.h"

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

} // namespace

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
    QStringList libraries, warnings;
    const QString architecture = control.value(QStringLiteral("Architecture")).trimmed();
    const Result run = sharedLibraryDepends(files, &libraries,
                                            architecture == QLatin1String("all") ? QString() : architecture);
    warnings << run.warnings;
    // Executables built here carry the Python packages they import, compared even when dpkg-shlibdeps failed.
    const QStringList missing = missingEntries(
        libraries + notedDepends(files),
        {control.raw(QStringLiteral("Depends")), control.raw(QStringLiteral("Pre-Depends"))});
    if (!missing.isEmpty()) {
        warnings << QStringLiteral("Программам пакета нужны пакеты, которых не обеспечивают поля Depends и "
                                   "Pre-Depends: %1.\nСтрока для DEBIAN/control:\n%2")
                        .arg(missing.join(QStringLiteral(", ")),
                             dependsLine(control.value(QStringLiteral("Depends")), missing));
    }
    return Result::doneWith(warnings);
}
