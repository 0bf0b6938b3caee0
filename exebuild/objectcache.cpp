#include "exebuild/objectcache.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QCryptographicHash>
#include <QFileInfo>

QString objectCacheDirectory()
{
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.startsWith(QLatin1Char('/')))
        return cache + QStringLiteral("/bexlor-builder");
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/.cache/bexlor-builder");
}

QString cacheKey(const QList<QByteArray> &parts)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QByteArray &part : parts) {
        hash.addData(QByteArray::number(part.size()) + ':');
        hash.addData(part);
    }
    return QString::fromLatin1(hash.result().toHex());
}

ObjectCache::ObjectCache(const QString &directory)
    : m_directory(directory)
{ }

QString ObjectCache::path(const QString &key, const QString &suffix) const
{
    return m_directory + QLatin1Char('/') + key + suffix;
}

QString ObjectCache::find(const QString &key, const QString &suffix) const
{
    if (m_directory.isEmpty())
        return QString();
    const QFileInfo entry(path(key, suffix));
    return entry.isFile() && !entry.isSymLink() ? entry.filePath() : QString();
}

Result ObjectCache::store(const QString &key, const QString &suffix, const QByteArray &data) const
{
    if (m_directory.isEmpty())
        return Result::done();
    const Result made = makePath(m_directory, 0700);
    const Result written = made.success ? writeFileAtomically(path(key, suffix), data) : made;
    if (written.failed())
        return Result::doneWith({QStringLiteral("Кэш сборки не пополнен: ") + written.message});
    return Result::done();
}
