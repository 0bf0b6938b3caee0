#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What an APT repository holds and how it is laid out: the decisions of
// publishing, apart from the files.

// One package of a suite: its name, version and architecture as its control
// file holds them, its component, its file below the repository's
// directory and that file's SHA256 (hex).
struct RepositoryEntry
{
    QByteArray package;
    QByteArray version;
    QByteArray architecture;
    QByteArray component;
    QByteArray filename;
    QByteArray sha256;
};

// Where a suite lives: DIR/dists/SUITE/COMPONENT/binary-ARCH/Packages, or,
// flat, DIR/SUITE/Packages (apt's "Suites: SUITE/"). Packages lie below
// DIR/pool/COMPONENT either way.
struct RepositoryLayout
{
    QString directory;
    QString suite = QStringLiteral("stable");
    QString component = QStringLiteral("main");
    bool flat = false;
};

// Refuses an empty directory and suite or component names that are no
// plain names (letters, digits, ".", "+", "_", "-", not starting with "."
// or "-"); a flat suite may not be named pool or dists.
Result checkLayout(const RepositoryLayout &layout);

// Where the suite's link lies: DIR/dists/SUITE, or DIR/SUITE when flat.
QString suiteLinkPath(const RepositoryLayout &layout);

// Whether target is the name a suite's link points to: ".SUITE.bexlor-"
// and six letters or digits, the directory one publication made.
bool isGenerationName(const QString &suite, const QString &target);

// The pool file of a package, as Debian's archive names it:
// pool/COMPONENT/PREFIX/PACKAGE/PACKAGE_VERSION_ARCH.deb, the prefix "libx"
// for a package starting with "lib", else its first letter; the version
// without its epoch.
QByteArray poolFilename(const QByteArray &component, const QByteArray &package, const QByteArray &version,
                        const QByteArray &architecture);

// The entries of a Packages index, each of the component its pool file lies in.
QList<RepositoryEntry> readPackagesIndex(const QByteArray &text);

// Adds entry to the suite's entries, unless the suite has it already with
// the same file: *added says which. The same package, version and
// architecture with other bytes is refused, and so is a pool file that
// another entry of any suite (everywhere) has with other bytes: one name
// never stands for two files.
Result addEntry(QList<RepositoryEntry> *suite, const QList<RepositoryEntry> &everywhere, const RepositoryEntry &entry,
                bool *added);

// Removes from entries those of the package NAME, or only those of its
// version VERSION for "NAME=VERSION", moving them to *removed; a
// selector that names nothing in the suite is refused.
Result removeEntries(QList<RepositoryEntry> *entries, const QString &selector, QList<RepositoryEntry> *removed);

// Keeps the keep newest versions (in dpkg's order) of every package and
// architecture, moving the older ones to *removed.
void keepNewest(QList<RepositoryEntry> *entries, int keep, QList<RepositoryEntry> *removed);

// The architectures the suite's indexes are made for: the concrete ones of
// its packages, sorted; "all" alone when it has only architecture-independent
// packages. An "all" package is in the index of every architecture.
QStringList indexArchitectures(const QList<RepositoryEntry> &entries);

// The components of the suite's entries and the component being published, sorted.
QStringList suiteComponents(const QList<RepositoryEntry> &entries, const QString &component);

// The pool files of the index of component and architecture (of every
// component, of every architecture, for the empty text), one a line, sorted
// by package, version (dpkg's order) and architecture.
QByteArray indexFileList(const QList<RepositoryEntry> &entries, const QString &component, const QString &architecture);

// One line per entry, "PACKAGE VERSION (ARCH)", for a message.
QString entryLines(const QList<RepositoryEntry> &entries);

// The deb822 entry users add to /etc/apt/sources.list.d: Types, URIs,
// Suites, Components (none when flat) and, when signed, Signed-By.
QString sourcesEntry(const RepositoryLayout &layout, const QStringList &components, const QString &uri,
                     const QString &signedBy);
