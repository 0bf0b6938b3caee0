#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

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

// Whether name (a name, not a path) is one of writeFileAtomically's
// temporaries, finished or not; no package ever ships one.
bool isWriterTemporary(const QByteArray &name);

// Whether path can be read without blocking: a regular file, or a link to
// one. A FIFO would block the window for ever, so anything else (a FIFO, a
// device, a socket, a directory) is refused with a message naming it, and
// so is a missing path.
Result checkRegularFile(const QString &path);

// Reads the whole of a regular file into *bytes; anything else is refused as
// checkRegularFile says, and a read that fails names the path and the reason.
Result readRegularFile(const QString &path, QByteArray *bytes);
