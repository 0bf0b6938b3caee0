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
    QString value; // the first line's value, continuation lines after "\n", each trimmed
    int line = 0; // where the field starts, counting from 1
    QByteArray key; // the name's bytes
    // The value's bytes as dpkg reads them: from the first non-blank after
    // the colon (the line break, when the first line holds nothing) to the
    // field's end, continuation lines whole, trailing white space cut.
    QByteArray raw;
};

// The paragraph of DEBIAN/control as dpkg reads it, with what dpkg would
// refuse in its form, one text per problem, each with its line number.
struct ControlParagraph
{
    QList<ControlField> fields;
    QStringList errors;

    // The value of a field, its name matched as dpkg matches it (ASCII
    // letters without regard to case); the empty text when it is missing.
    QString value(const QString &name) const;
    QByteArray raw(const QString &name) const;
    bool has(const QString &name) const;
    // The field of that name, or nullptr.
    const ControlField *field(const QString &name) const;
};

ControlParagraph parseControl(const QByteArray &text);

// The name of the field that line starts ("Field: value", blanks allowed
// before the colon), or the empty text for a continuation line or a line
// that starts no field.
QByteArray controlFieldName(const QByteArray &line);

// Whether dpkg takes two field names for the same field: ASCII letters
// compared without regard to case, every other byte as it is.
bool sameFieldName(const QByteArray &a, const QByteArray &b);

// What the check found: errors refuse the build, warnings go with it.
struct ControlVerdict
{
    QStringList errors;
    QStringList warnings;
};

// Checks a control file as dpkg-deb would check the one the build hands it
// (Installed-Size set): the paragraph's form, the fields Package, Version
// and Architecture, the values of the fields dpkg reads (relationships,
// Essential, Protected, Multi-Arch, Priority, Conffiles) and the fields only
// dpkg may write; warns about what lintian would (Maintainer, Description,
// the synopsis, the extended description).
ControlVerdict checkControlText(const QByteArray &text);

// True for a package name dpkg-deb accepts once lowercased: ASCII letters,
// digits and "+", "-", ".", starting with a letter or digit.
bool isValidPackageName(const QString &name);

// One warning, "file: строка N: …", for each line of text that still holds
// a template's placeholder (templatePlaceholders).
QStringList placeholderWarnings(const QString &file, const QByteArray &text);

// What the documents of workDir's package still lack: placeholders left in
// its shortcuts, its copyright file and its changelog, and a changelog whose
// top version is not version. Each warning names the file below workDir.
QStringList documentWarnings(const QString &workDir, const QString &package, const QString &version);

// What lintian says of the staged package's Architecture (control: its
// control file) against its ELF files (elfFiles: their paths below the
// package root): "all" with ELF files in the package, or a concrete
// architecture with none, where "all" would do (a transitional or meta
// package aside, as lintian sees them). The warnings name the files as
// installed, "/" first.
Result checkStagedArchitecture(const ControlParagraph &control, const QStringList &elfFiles);

// Checks workDir + "/DEBIAN/control" and DEBIAN/conffiles (a missing final
// line break is no problem: the build adds it). A refusal lists every
// problem at once; what lintian would say, placeholders left in control and
// the documentWarnings come back as warnings.
Result checkControlFiles(const QString &workDir);
