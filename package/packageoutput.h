#pragma once

#include <QString>
#include <QTemporaryDir>

// Where dpkg-deb writes the package: a private directory inside the output
// directory (the same file system), from which the finished package moves
// into the output directory. A package left half-written by a cancelled or
// failed build goes with the private directory, and a package of the same
// name already in the output directory stays as it was until then.
class PackageOutput
{
public:
    explicit PackageOutput(const QString &outputDir);

    QString path() const { return m_dir.path(); }
    // Why the private directory could not be made; empty when it was.
    QString error;

    // Moves what dpkg-deb wrote into the output directory, replacing a file
    // of the same name. Returns the empty text or what went wrong.
    QString deliver();

private:
    QString m_outputDir;
    QTemporaryDir m_dir;
};
