#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The object files of earlier builds, kept under a key that covers
// everything they were made from, so that a module whose source, name,
// runtime, tools and flags have not changed is not translated and compiled
// again. Entries are written atomically: two builds at once each see an
// entry whole or not at all.

// $XDG_CACHE_HOME/bexlor-builder (an absolute XDG_CACHE_HOME only), else
// $HOME/.cache/bexlor-builder; the empty text without either: no cache.
QString objectCacheDirectory();

// The key of an entry: the SHA-256, in hex, of the parts, each with its
// length in front, so that no two lists of parts share a key.
QString cacheKey(const QList<QByteArray> &parts);

class ObjectCache
{
public:
    // directory empty: a cache that holds nothing and keeps nothing.
    explicit ObjectCache(const QString &directory);

    // The entry's file when the cache holds it, else the empty text.
    QString find(const QString &key, const QString &suffix) const;
    // Keeps data as the entry; a failure is the warning to show.
    Result store(const QString &key, const QString &suffix, const QByteArray &data) const;

private:
    QString path(const QString &key, const QString &suffix) const;

    QString m_directory;
};
