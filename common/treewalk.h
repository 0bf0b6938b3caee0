#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What a walk callback decides about a directory entry.
enum class Visit { Skip, Descend };

// Calls visit(directoryFd, relativePath, type) for every entry below root,
// depth first, in the order the listings return the entries; relativePath is
// the entry's name bytes below root (no leading "/") and type a dirent DT_*
// value. Descends only into real directories for which visit answers
// Descend: links are never followed, so the walk always ends and never
// leaves root. Unreadable directories are skipped. root itself may be
// reached through a link, as the user named it.
void walkTree(const QString &root, const std::function<Visit(int, const QByteArray &, unsigned char)> &visit);

// The last piece of a relative path, for the *at calls on the directory fd.
QByteArray lastName(const QByteArray &relative);

// A name as the user reads it in a message: line breaks made visible.
QString displayName(const QByteArray &relative);
