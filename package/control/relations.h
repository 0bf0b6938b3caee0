#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>

// Debian versions and relationship fields (Depends and its kin), read and
// compared the way dpkg reads and compares them.

// White space as dpkg's parsers know it: blank, tab, line break, vertical
// tab, form feed and carriage return, whatever the locale.
bool isControlSpace(char c);

// A version as dpkg splits it: [epoch:]upstream[-revision].
struct DebianVersion
{
    qint64 epoch = 0;
    QByteArray upstream;
    QByteArray revision;
};

// Reads text as dpkg reads a version; a failure says, in the user's words,
// what dpkg refuses in it.
Result parseDebianVersion(const QByteArray &text, DebianVersion *version);

// Below zero, zero or above zero as a sorts before, with or after b, in
// dpkg's order (epoch, then upstream, then revision; "~" before anything).
int compareVersions(const DebianVersion &a, const DebianVersion &b);

// One package a relationship names, with the versions it accepts.
struct Relation
{
    enum Operator { Any, Earlier, EarlierOrEqual, Equal, LaterOrEqual, Later };
    QByteArray name;
    QByteArray architecture; // the qualifier after ":", or empty
    Operator op = Any;
    DebianVersion version;
};

// One entry of a relationship field: its alternatives ("a | b").
using RelationGroup = QList<Relation>;

// Reads the value of the relationship field named field (Depends,
// Pre-Depends, Recommends, Suggests, Enhances, Conflicts, Breaks, Replaces
// or Provides) as dpkg-deb does; the value is the field's bytes after the
// colon as dpkg reads them. A failure says what dpkg-deb would refuse.
Result parseRelations(const QByteArray &field, const QByteArray &value, QList<RelationGroup> *groups);

// Whether every version of a package that satisfies declared also
// satisfies needed: the same package, the same qualifier (any one where
// needed's is "any"), and declared's versions within needed's.
bool implies(const Relation &declared, const Relation &needed);

// Whether a declared group always satisfies a needed one: each of its
// alternatives implies one of needed's ("a | b" gives neither a nor b for
// sure, while "b" satisfies "a | b").
bool implies(const RelationGroup &declared, const RelationGroup &needed);
