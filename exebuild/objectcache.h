#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The object files of earlier builds, kept under a key that covers
// everything they were made from, so that a module whose source, name,
// runtime, tools and flags have not changed is not translated and compiled
// again. Entries are written atomically: two builds at once each see an
// entry whole or not at all.
//
// Anything may have happened to an entry since: a full disk, another
// program, a copy from another machine or key. So each entry begins with
// the key it was made for and the SHA-256 of its content, and both are
// checked as the content is copied out: a build uses only the checked copy,
// never the entry itself, and an entry that fails is removed.

// $XDG_CACHE_HOME/bexlor-builder (an absolute XDG_CACHE_HOME only), else
// $HOME/.cache/bexlor-builder; the empty text without either: no cache.
QString objectCacheDirectory();

// The key of an entry: the SHA-256, in hex, of the parts, each with its
// length in front, so that no two lists of parts share a key.
QString cacheKey(const QList<QByteArray> &parts);

// Entries not used for this many days go at the start of the next build.
constexpr int cacheKeepDays = 30;

class ObjectCache
{
public:
    // directory empty: a cache that holds nothing and keeps nothing. A
    // directory that is a link, or that another user owns or may write to,
    // could hand the build objects it did not make: it is not used, and
    // warnings() says so.
    explicit ObjectCache(const QString &directory);

    // Why the cache is not used, or which entries went unused: to show once.
    QStringList warnings() const { return m_warnings; }

    // Removes the entries not used for cacheKeepDays days.
    void prune();

    // Copies the checked content of the entry to target (mode 0600) and sets
    // *found. An entry that is damaged, made for another key or unreadable
    // is removed and named in a warning: the caller builds it again.
    Result fetch(const QString &key, const QString &suffix, const QString &target, bool *found) const;
    // The same for a small entry, read into *data.
    Result load(const QString &key, const QString &suffix, QByteArray *data, bool *found) const;

    // Keeps the file, or data, as the entry; a failure is the warning to show.
    Result storeFile(const QString &key, const QString &suffix, const QString &file) const;
    Result store(const QString &key, const QString &suffix, const QByteArray &data) const;

private:
    QString path(const QString &key, const QString &suffix) const;
    int openEntry(const QString &entry, bool *found, Result *problem) const;

    QString m_directory;
    QStringList m_warnings;
};
