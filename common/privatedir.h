#pragma once

#include <QString>

// A directory of this build alone, made with mode 0700 under a fresh unique
// name "bexlor-XXXXXX" in a parent directory (the temporary directory unless
// given), so no other user or program instance can place anything in it;
// removed with everything in it when done. It stays locked (flock) while it
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
    QString error() const { return m_error; }

    // Returns the empty text or what could not be removed.
    QString remove();

private:
    QString m_path;
    QString m_error;
    int m_lock = -1;
};
