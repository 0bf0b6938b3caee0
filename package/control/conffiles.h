#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// DEBIAN/conffiles: the files dpkg keeps the user's changes of, as the
// package lists them and as the build marks them.

// Reads debianDir + "/conffiles" into *conffiles; without that file the
// package lists none and *conffiles stays as it is.
Result readConffiles(const QString &debianDir, QByteArray *conffiles);

// What dpkg-deb would refuse in the conffiles text of the package of
// workDir, one "DEBIAN/conffiles, строка N: …" text per line it refuses.
QStringList conffilesProblems(const QString &workDir, const QByteArray &conffiles);

// md5sums lines without those of the conffiles: the files conffiles lists
// ("/path" lines, as dh_md5sums reads them) and every file under etc/, which
// the package build marks as conffiles. dpkg keeps their sums itself.
QByteArray checksumsWithoutConffiles(const QByteArray &lines, const QByteArray &conffiles);

// The files of etcFiles (paths below the package root) that conffiles does
// not list yet, sorted by their bytes, as dh_installdeb marks them.
QList<QByteArray> unlistedConffiles(const QByteArray &conffiles, QList<QByteArray> etcFiles);
