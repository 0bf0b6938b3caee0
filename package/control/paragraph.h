#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The grammar of a control paragraph as dpkg reads it: fields, their names
// and values, and what dpkg refuses in the paragraph's form.

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

// "строка N: text", as every check of a control-area file names a line.
QString lineText(int line, const QString &text);
