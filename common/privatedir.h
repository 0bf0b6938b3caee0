#pragma once

#include "common/result.h"

#include <QString>

// A directory of this build alone, made with mode 0700 under a fresh unique
// name "bexlor-XXXXXX" in a parent directory (TMPDIR, or /tmp without it,
// unless given), so no other user or program instance can place anything in
// it; removed with everything in it when done. It stays locked (flock) while it
// exists and holds a marker file, so that a directory left behind by a
// killed build is told from one in use and from a user's own: making a new
// one first removes this user's marked, unlocked ones in the same parent.
class PrivateDirectory
{
public:
    explicit PrivateDirectory(const QString &parent = QString());
    ~PrivateDirectory() { remove(); }
    PrivateDirectory(const PrivateDirectory &) = delete;
    PrivateDirectory &operator=(const PrivateDirectory &) = delete;

    QString path() const { return m_path; }
    // Whether the directory was made, and why not: the failure names the
    // parent directory, and TMPDIR when the parent came from it.
    Result made() const { return m_made; }

    // Removes the directory now; a failure names what could not be removed.
    Result remove();

private:
    QString m_path;
    Result m_made;
    int m_lock = -1;
};
