#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// What the removal window decides: deleting one entry of, or the whole of,
// the directory workDir + "/" + subdirectory (DEBIAN, or the shortcuts'
// usr/share/applications). Nothing is deleted through a link on the way
// from workDir down to the entry; the directory itself may be a link, and
// then only the link goes.

// The pseudo-entry that stands for the whole directory.
QString removeAllEntry();

// Whether a single entry (name: its bytes, shown: its text) may be deleted
// at all, checked before the user is asked: refused when the way to it
// crosses a link or the entry is a directory.
Result checkEntryRemoval(const QString &workDir, const QString &subdirectory, const QByteArray &name,
                         const QString &shown);

// Deletes the single entry; its completion text, or "not found", or why not.
Result removeEntry(const QString &workDir, const QString &subdirectory, const QByteArray &name, const QString &shown);

// Whether the whole directory may be deleted, checked before the user is
// asked: refused when the way to it crosses a link.
Result checkDirectoryRemoval(const QString &workDir, const QString &subdirectory);

// Deletes the whole directory with everything in it.
struct DirectoryRemoval
{
    Result result;
    // Nothing is left to list: the directory went, or was gone already.
    bool gone = false;
};
DirectoryRemoval removeDirectory(const QString &workDir, const QString &subdirectory);
