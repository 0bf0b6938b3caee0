#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One field of a control paragraph.
struct ControlField
{
    QString name;
    QString value; // the first line's value, continuation lines after "\n"
    int line = 0; // where the field starts, counting from 1
};

// The paragraph of DEBIAN/control as dpkg reads it, with what dpkg would
// refuse in it, one text per problem, each with its line number.
struct ControlParagraph
{
    QList<ControlField> fields;
    QStringList errors;

    // The value of a field, its name matched without regard to case; the
    // empty text when it is missing.
    QString value(const QString &name) const;
    bool has(const QString &name) const;
    // The field of that name, or nullptr.
    const ControlField *field(const QString &name) const;
};

ControlParagraph parseControl(const QByteArray &text);

// What the check found: errors refuse the build, warnings go with it.
struct ControlVerdict
{
    QStringList errors;
    QStringList warnings;
};

// Checks a control file as dpkg-deb would: the paragraph's form, the
// fields Package, Version and Architecture, the package name and the
// version; warns about what lintian would (Maintainer, Description, the
// synopsis, the extended description).
ControlVerdict checkControlText(const QByteArray &text);

// True for a package name dpkg accepts once lowercased: letters, digits
// and "+", "-", ".", starting with a letter or digit.
bool isValidPackageName(const QString &name);

// True for a version dpkg accepts: [epoch:]upstream[-revision].
bool isValidDebianVersion(const QString &version);

// Checks workDir + "/DEBIAN/control" and the files that conffiles names.
// A refusal lists every problem at once; what lintian would say comes back
// as warnings.
Result checkControlFiles(const QString &workDir);
