#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The file-system module: every walk and removal of a tree, every mode
// change, every write of a file the user keeps and every read of a file that
// may not be regular goes through here (the package build's parallel staging
// pass alone keeps its own walk). Nothing here follows a link below the path
// the user named.

// ---- Listing and walking ----

// Calls each(directoryFd, name, type) for every entry of the directory open
// as fd, "." and ".." left out, in the order the file system returns them;
// type is a dirent DT_* value, looked up without following links where the
// listing does not give it. Takes ownership of fd. Returns 0, or the errno
// of a directory that could not be read.
int listDirectory(int fd, const std::function<void(int, const char *, unsigned char)> &each);

// One directory entry: its name as the file system holds it, the text that
// shows it, and whether that text names it (decodes back to the same bytes).
// A name that does not, not being UTF-8, shows its stray bytes as \xNN.
struct EntryName
{
    QByteArray bytes;
    QString text;
    bool showable = true;
};

// The entries of a directory in the order the file system returns them:
// hidden entries, sub-directories and broken links included, "." and ".."
// left out. A missing or unreadable directory gives none.
QList<EntryName> directoryEntryNames(const QString &directory);

// The texts of directoryEntryNames.
QStringList directoryEntries(const QString &directory);

// The texts of the entries whose names cannot be shown, for a message.
QStringList unshowableNames(const QList<EntryName> &entries);

// What a walk callback decides about a directory entry.
enum class Visit { Skip, Descend };

// Called for every entry below root, before its content: directoryFd,
// relativePath (the entry's name bytes below root, no leading "/") and type.
using EnterEntry = std::function<Visit(int, const QByteArray &, unsigned char)>;

// Walks the tree below root depth first, in the order the listings return
// the entries, calling enter before each directory's content (removeTree
// walks the same way, with a visit after it too). Descends only into real
// directories for which enter answers Descend: links are never followed, so
// the walk always ends and never leaves root. root itself may be reached
// through a link, as the user named it; a root that cannot be opened gives
// no call.
void walkTree(const QString &root, const EnterEntry &enter);

// The last piece of a relative path, for the *at calls on the directory fd.
QByteArray lastName(const QByteArray &relative);

// A name as the user reads it in a message: line breaks made visible.
QString displayName(const QByteArray &relative);

// ---- Removal ----

// Removes path and everything below it without following links: a link, at
// the top or anywhere below, is removed as a link and its target is never
// touched. Directories are opened up (0700) before their content goes, since
// their recorded modes may have closed them. Entries that vanish meanwhile
// are no failure, and neither is a missing path. A failure names the first
// entry that could not be removed and why.
Result removeTree(const QString &path);

// Refuses to reach below root through a link: fails, naming the link, when
// one of the entries on the way root + "/" + relative (each piece of
// relative, the last included) is a symbolic link. root itself may be
// reached through links, as the user named it; a missing piece ends the
// check without a failure.
Result refuseLinksBelow(const QString &root, const QString &relative);

// ---- Modes ----

// Sets the mode of name in the directory open as directoryFd (AT_FDCWD for
// a path) without following a link, in one call; 0 or the errno, EOPNOTSUPP
// for a link.
int changeModeAt(int directoryFd, const char *name, unsigned mode);

// Sets the mode of path, never through a link: a link is refused with a
// message naming it, as is a failure with its reason.
Result setMode(const QString &path, unsigned mode);

// ---- Writing and reading ----

// Writes data to path through a temporary file beside it that is written,
// synced to the disk and only then renamed over the target, every step
// checked: a failed write (a full disk above all) leaves the old file as it
// was. The new file gets mode when one is given (0 to 07777); otherwise an
// existing file keeps its mode. A link at the path is replaced by the new
// file, never written through. A failure names the path and the reason.
// The temporary is named ".NAME.bexlor-PID.XXXXXX" and locked (flock)
// while it lives; a write first removes the temporaries in its directory
// that a killed process left: those whose process is gone, or whose lock
// nobody holds (the pid now belongs to another process).
Result writeFileAtomically(const QString &path, const QByteArray &data, int mode = -1);

// Writes what fill writes into the open temporary (returning 0 or the errno
// of what failed) as writeFileAtomically writes its data: a file that is whole
// or not there. mode as there.
Result writeThroughTemporary(const QString &path, int mode, const std::function<int(int)> &fill);

// Writes all size bytes at data to the open file fd, going on after a short
// write or a signal; 0 or the errno (ENOSPC when nothing more is taken).
int writeAll(int fd, const char *data, qint64 size);

// Whether name (a name, not a path) is one of writeFileAtomically's
// temporaries, finished or not; no package ever ships one.
bool isWriterTemporary(const QByteArray &name);

// One line of DEBIAN/md5sums as dh_md5sums writes it for a name md5sum need
// not escape: the hex digest, two spaces, the path below the package root
// as its bytes, a line break. Names with a line break get no line.
inline QByteArray md5sumsLine(const QByteArray &hexDigest, const QByteArray &relative)
{
    return hexDigest + "  " + relative + '\n';
}

// Writes lines (made by md5sumsLine, in any order) as the md5sums file at
// path, sorted by path as dh_md5sums sorts them, atomically; with mode as
// writeFileAtomically takes it.
Result writeMd5sums(const QString &path, const QByteArray &lines, int mode = -1);

// Copies the regular file source (or what a link there leads to) to target
// with its permission bits, as writeFileAtomically writes: streamed in
// blocks, whatever its size, and only its data extents, so that the holes
// of a sparse file stay holes; a copy whose length is not the source's, or a
// source whose length changed meanwhile, fails naming the file. A cancel of
// the current job stops it. A mode given (0 to 07777) replaces the source's.
Result copyFileAtomically(const QString &source, const QString &target, int mode = -1);

// Whether anything is at path, a link that leads nowhere included.
bool entryExists(const QString &path);

// Whether path can be read without blocking: a regular file, or a link to
// one. A FIFO would block the window for ever, so anything else (a FIFO, a
// device, a socket, a directory) is refused with a message naming it, and
// so is a missing path.
Result checkRegularFile(const QString &path);

// Reads the whole of a regular file into *bytes, and its permission bits
// into *mode when asked; anything else is refused as checkRegularFile says,
// also when it takes the file's place meanwhile, and a read that fails names
// the path and the reason.
Result readRegularFile(const QString &path, QByteArray *bytes, unsigned *mode = nullptr);
