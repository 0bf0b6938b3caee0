#include "package/control/conffiles.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "package/control/relations.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace {

// The files a conffiles text lists, leading "/" cut; the lines with a flag
// name files the package no longer ships.
QSet<QByteArray> listedConffiles(const QByteArray &conffiles)
{
    QSet<QByteArray> listed;
    for (QByteArray line : conffiles.split('\n')) {
        if (!line.startsWith('/'))
            continue;
        while (line.startsWith('/'))
            line.remove(0, 1);
        if (!line.isEmpty())
            listed.insert(line);
    }
    return listed;
}

// What dpkg-deb refuses in one line of conffiles: "/path", or
// "remove-on-upgrade /path" for a file the package no longer ships.
Result checkConffileLine(const QString &workDir, const QByteArray &entry)
{
    if (entry.isEmpty())
        return Result::failure(QStringLiteral("пустая строка"));
    if (entry.trimmed().isEmpty())
        return Result::failure(QStringLiteral("строка из одних пробелов"));
    if (isControlSpace(entry.at(0)))
        return Result::failure(QStringLiteral("пробел в начале строки"));
    const int blank = entry.startsWith('/') ? -1 : entry.indexOf(' ');
    const QByteArray flag = blank < 0 ? QByteArray() : entry.left(blank);
    const QByteArray path = entry.mid(blank + 1);
    if (!path.startsWith('/'))
        return Result::failure(QStringLiteral("путь должен начинаться с «/»"));
    if (!flag.isEmpty() && flag != "remove-on-upgrade")
        return Result::failure(QStringLiteral("неизвестный признак «%1»: dpkg знает только remove-on-upgrade")
                                   .arg(QString::fromUtf8(flag)));
    const QString shown = QString::fromUtf8(path);
    struct stat status;
    const int error = ::lstat((QFile::encodeName(workDir) + path).constData(), &status) == 0 ? 0 : errno;
    if (error == 0 && !flag.isEmpty())
        return Result::failure(QStringLiteral("файл %1 есть в пакете, а строка велит удалить его при обновлении "
                                              "(remove-on-upgrade)")
                                   .arg(shown));
    if (error != 0 && error != ENOENT)
        return Result::failure(QStringLiteral("файл %1 недоступен: %2").arg(shown, systemError(error)));
    if (error != 0 && flag.isEmpty())
        return Result::failure(QStringLiteral("файла %1 нет в пакете").arg(shown));
    // dpkg-deb only warns of these, and dpkg -i then fails on the digest.
    if (error == 0 && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return Result::failure(
            QStringLiteral("%1 — %2, а не файл: dpkg не сможет посчитать его контрольную сумму и "
                           "не установит пакет")
                .arg(shown, S_ISDIR(status.st_mode) ? QStringLiteral("каталог") : QStringLiteral("особый файл")));
    return Result::done();
}

} // namespace

Result readConffiles(const QString &debianDir, QByteArray *conffiles)
{
    const QString path = debianDir + QStringLiteral("/conffiles");
    return QFileInfo::exists(path) ? readRegularFile(path, conffiles) : Result::done();
}

QByteArray checksumsWithoutConffiles(const QByteArray &lines, const QByteArray &conffiles)
{
    const QSet<QByteArray> listed = listedConffiles(conffiles);
    QByteArray kept;
    kept.reserve(lines.size());
    int start = 0;
    while (start < lines.size()) {
        const int newline = lines.indexOf('\n', start);
        const int end = newline < 0 ? lines.size() : newline + 1;
        const int path = lines.indexOf("  ", start) + 2;
        const QByteArray relative = lines.mid(path, (newline < 0 ? end : newline) - path);
        if (path <= 1 || path > end || !(relative.startsWith("etc/") || listed.contains(relative)))
            kept += lines.mid(start, end - start);
        start = end;
    }
    return kept;
}

QList<QByteArray> unlistedConffiles(const QByteArray &conffiles, QList<QByteArray> etcFiles)
{
    const QSet<QByteArray> listed = listedConffiles(conffiles);
    etcFiles.erase(std::remove_if(etcFiles.begin(), etcFiles.end(),
                                  [&listed](const QByteArray &file) { return listed.contains(file); }),
                   etcFiles.end());
    std::sort(etcFiles.begin(), etcFiles.end());
    return etcFiles;
}

QStringList conffilesProblems(const QString &workDir, const QByteArray &conffiles)
{
    QStringList problems;
    QList<QByteArray> lines = conffiles.split('\n');
    // The build adds a missing final line break, as it does to control.
    if (conffiles.endsWith('\n') || conffiles.isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        const Result checked = checkConffileLine(workDir, lines.at(i));
        if (checked.failed())
            problems << QStringLiteral("DEBIAN/conffiles, строка %1: ").arg(i + 1) + checked.message;
    }
    return problems;
}
