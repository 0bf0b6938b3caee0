#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include <vector>

struct AccessRules;

// A data file staged as a hard link to the work directory's own file, with
// what it looked like once linked: the check after packing compares it.
struct LinkedFile
{
    QByteArray relative; // below the package root
    off_t size;
    struct timespec mtime;
    struct timespec ctime;
};

// What the staging pass learnt of the data it staged.
struct StagedData
{
    QByteArray md5sums; // a line per data file md5sums can list, in walk order, conffiles still in
    qint64 installedSizeKiB = 0; // as dpkg-gencontrol counts it
    QStringList elfFiles; // the files that begin with the ELF magic, below the package root
    QList<QByteArray> etcFiles; // the regular files under etc/ md5sums lists, in walk order
    std::vector<LinkedFile> linked;
    std::vector<QByteArray> copied; // the other data files
};

// Stages the work directory source at target, which must not exist yet, in
// one walk: the copy dpkg-deb packs, and with it the md5sums lines, the
// installed size, the ELF files and the files under etc/, each file's bytes
// read once.
//
// A link is staged as a link with the same target, never followed, and hard
// links stay hard links; times are kept. Each entry's mode is decided before
// it is staged: directories 0755, a regular file 0755 when its own mode has
// any execute bit and 0644 otherwise, the top its own mode; then the mode
// the access rules record for its path. A data file with a single name
// whose own mode is the mode it gets is staged as a hard link to it where
// the file system allows, any other file is copied (copy_file_range). The
// control area alone is staged as what links lead to: a linked DEBIAN as
// its directory, a link in it as its file (one leading elsewhere is
// refused), and always as copies, so that what the build changes there never
// reaches outside. FIFOs, sockets and devices are refused. Left out: the
// directory skipped (the staging directory itself, when the work directory
// holds the temporary directory) and the temporaries of unfinished writes.
//
// The files are staged and read by a pool of threads sized to the cores;
// progress goes to the current job, whose cancel stops the pass. The
// warnings name the temporaries left out, the top-level names close to
// DEBIAN (nearControlArea), the access lines not applied, the files md5sums
// cannot list and the links whose target is not in the copy (an absolute
// target read from the copy's root); a failure names the entry and the
// reason.
Result stagePackage(const QString &source, const QString &target, const struct stat &skipped, const AccessRules &rules,
                    StagedData *staged);

// Fails, naming the file below workDir, when a hard-linked file of the
// staging copy changed since it was staged: its checksum would no longer
// match what was packed.
Result checkLinkedFiles(const QString &workDir, const QString &staging, const StagedData &staged);

// Removes the staged data files on the pool, which is several times faster
// than one by one for many small files; a hard link goes as a name, the
// user's file stays. The directories and the control area are left to the
// removal of the private directory.
void removeStagedFiles(const QString &staging, const StagedData &staged);
