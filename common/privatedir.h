#pragma once

#include <QString>

// A directory of this build alone, made with mode 0700 under a fresh unique
// name in the temporary directory, so no other user or program instance can
// place anything in it; removed with everything in it when done.
class PrivateDirectory
{
public:
    PrivateDirectory();
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
};
