#include "package/repo/repoindex.h"

#include "package/control/paragraph.h"
#include "package/control/relations.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

// Orders entries by package, version as dpkg orders versions, architecture.
bool entryBefore(const RepositoryEntry &a, const RepositoryEntry &b)
{
    if (a.package != b.package)
        return a.package < b.package;
    DebianVersion one, two;
    parseDebianVersion(a.version, &one);
    parseDebianVersion(b.version, &two);
    const int order = compareVersions(one, two);
    return order != 0 ? order < 0 : a.architecture < b.architecture;
}

bool sameKey(const RepositoryEntry &a, const RepositoryEntry &b)
{
    return a.package == b.package && a.version == b.version && a.architecture == b.architecture;
}

QString entryName(const RepositoryEntry &entry)
{
    return QStringLiteral("%1 %2 (%3)")
        .arg(QString::fromUtf8(entry.package), QString::fromUtf8(entry.version), QString::fromUtf8(entry.architecture));
}

} // namespace

Result checkLayout(const RepositoryLayout &layout)
{
    if (layout.directory.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог репозитория"));
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_+][A-Za-z0-9._+-]*$"));
    const QList<QPair<QString, QString>> names = {{QStringLiteral("набора (suite)"), layout.suite},
                                                  {QStringLiteral("компонента"), layout.component}};
    for (const auto &name : names) {
        if (!plain.match(name.second).hasMatch()) {
            return Result::failure(QStringLiteral("Имя %1 «%2» не подходит: нужны латинские буквы, цифры и знаки "
                                                  "«.», «+», «_», «-», и первым не может быть «.» или «-»")
                                       .arg(name.first, name.second));
        }
    }
    if (layout.flat && (layout.suite == QLatin1String("pool") || layout.suite == QLatin1String("dists")))
        return Result::failure(QStringLiteral("Плоский репозиторий не может называться %1: это имя каталога "
                                              "пакетов")
                                   .arg(layout.suite));
    return Result::done();
}

QString suiteLinkPath(const RepositoryLayout &layout)
{
    return layout.directory + (layout.flat ? QStringLiteral("/") : QStringLiteral("/dists/")) + layout.suite;
}

bool isGenerationName(const QString &suite, const QString &target)
{
    static const QRegularExpression suffix(QStringLiteral("^[A-Za-z0-9]{6}$"));
    const QString prefix = QLatin1Char('.') + suite + QStringLiteral(".bexlor-");
    return target.startsWith(prefix) && suffix.match(target.mid(prefix.size())).hasMatch();
}

QByteArray poolFilename(const QByteArray &component, const QByteArray &package, const QByteArray &version,
                        const QByteArray &architecture)
{
    const QByteArray prefix = package.left(package.startsWith("lib") ? 4 : 1);
    const QByteArray plainVersion = version.mid(version.indexOf(':') + 1);
    return "pool/" + component + '/' + prefix + '/' + package + '/' + package + '_' + plainVersion + '_' + architecture
           + ".deb";
}

QList<RepositoryEntry> readPackagesIndex(const QByteArray &text)
{
    QList<RepositoryEntry> entries;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf("\n\n", start);
        end = end < 0 ? text.size() : end + 1;
        const ControlParagraph paragraph = parseControl(text.mid(start, end - start));
        start = end + 1;
        RepositoryEntry entry;
        entry.package = paragraph.raw(QStringLiteral("Package"));
        entry.version = paragraph.raw(QStringLiteral("Version"));
        entry.architecture = paragraph.raw(QStringLiteral("Architecture"));
        entry.filename = paragraph.raw(QStringLiteral("Filename"));
        entry.sha256 = paragraph.raw(QStringLiteral("SHA256"));
        entry.component = entry.filename.split('/').value(1);
        if (!entry.package.isEmpty())
            entries << entry;
    }
    return entries;
}

Result addEntry(QList<RepositoryEntry> *suite, const QList<RepositoryEntry> &everywhere, const RepositoryEntry &entry,
                bool *added)
{
    *added = false;
    const auto conflict = [&entry](const RepositoryEntry &other) {
        return Result::failure(QStringLiteral("%1 уже есть в репозитории (%2) с другим содержимым: под одним именем "
                                              "репозиторий не может отдавать два разных файла. Увеличьте версию "
                                              "пакета")
                                   .arg(entryName(entry), QString::fromUtf8(other.filename)));
    };
    for (const RepositoryEntry &other : *suite) {
        if (sameKey(other, entry))
            return other.sha256 == entry.sha256 && other.filename == entry.filename ? Result::done() : conflict(other);
    }
    for (const QList<RepositoryEntry> *list : {static_cast<const QList<RepositoryEntry> *>(suite), &everywhere}) {
        for (const RepositoryEntry &other : *list) {
            if (other.filename == entry.filename && other.sha256 != entry.sha256)
                return conflict(other);
        }
    }
    suite->append(entry);
    *added = true;
    return Result::done();
}

Result removeEntries(QList<RepositoryEntry> *entries, const QString &selector, QList<RepositoryEntry> *removed)
{
    const QByteArray package = selector.section(QLatin1Char('='), 0, 0).toUtf8();
    const bool versioned = selector.contains(QLatin1Char('='));
    const QByteArray version = selector.section(QLatin1Char('='), 1).toUtf8();
    const int before = removed->size();
    for (auto it = entries->begin(); it != entries->end();) {
        if (it->package == package && (!versioned || it->version == version)) {
            removed->append(*it);
            it = entries->erase(it);
        } else {
            ++it;
        }
    }
    if (removed->size() == before)
        return Result::failure(QStringLiteral("В наборе нет пакета %1").arg(selector));
    return Result::done();
}

void keepNewest(QList<RepositoryEntry> *entries, int keep, QList<RepositoryEntry> *removed)
{
    std::sort(entries->begin(), entries->end(), entryBefore);
    QMap<QByteArray, int> newer;
    // Newest first: each package and architecture counts its versions down.
    for (int i = entries->size() - 1; i >= 0; --i) {
        const RepositoryEntry &entry = entries->at(i);
        if (++newer[entry.package + ' ' + entry.architecture] > keep)
            removed->append(entries->takeAt(i));
    }
}

QStringList indexArchitectures(const QList<RepositoryEntry> &entries)
{
    QSet<QString> concrete;
    for (const RepositoryEntry &entry : entries) {
        if (entry.architecture != "all")
            concrete << QString::fromUtf8(entry.architecture);
    }
    QStringList sorted = concrete.values();
    std::sort(sorted.begin(), sorted.end());
    return sorted.isEmpty() ? QStringList{QStringLiteral("all")} : sorted;
}

QStringList suiteComponents(const QList<RepositoryEntry> &entries, const QString &component)
{
    QSet<QString> components{component};
    for (const RepositoryEntry &entry : entries)
        components << QString::fromUtf8(entry.component);
    QStringList sorted = components.values();
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QByteArray indexFileList(const QList<RepositoryEntry> &entries, const QString &component, const QString &architecture)
{
    QList<RepositoryEntry> chosen;
    for (const RepositoryEntry &entry : entries) {
        if ((component.isEmpty() || entry.component == component.toUtf8())
            && (architecture.isEmpty() || entry.architecture == architecture.toUtf8() || entry.architecture == "all"))
            chosen << entry;
    }
    std::sort(chosen.begin(), chosen.end(), entryBefore);
    QByteArray list;
    for (const RepositoryEntry &entry : chosen)
        list += entry.filename + '\n';
    return list;
}

QString entryLines(const QList<RepositoryEntry> &entries)
{
    QList<RepositoryEntry> sorted = entries;
    std::sort(sorted.begin(), sorted.end(), entryBefore);
    QStringList lines;
    for (const RepositoryEntry &entry : sorted)
        lines << QStringLiteral("  ") + entryName(entry);
    return lines.join(QLatin1Char('\n'));
}

QString sourcesEntry(const RepositoryLayout &layout, const QStringList &components, const QString &uri,
                     const QString &signedBy)
{
    QString entry = QStringLiteral("Types: deb\nURIs: ") + uri + QStringLiteral("\nSuites: ") + layout.suite;
    entry += layout.flat ? QStringLiteral("/\n")
                         : QStringLiteral("\nComponents: ") + components.join(QLatin1Char(' ')) + QLatin1Char('\n');
    if (!signedBy.isEmpty())
        entry += QStringLiteral("Signed-By: ") + signedBy + QLatin1Char('\n');
    return entry;
}
