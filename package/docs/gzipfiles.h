#pragma once

#include "common/result.h"

#include <QByteArray>

// Documents of a package that Debian keeps compressed (changelogs, manual
// pages) go through gzip in a private directory, so that their bytes pass
// unchanged, whatever their encoding.

// plain compressed with gzip -9n, which leaves out the name and time: the
// same text always gives the same bytes, as lintian wants.
Result gzipCompressed(const QByteArray &plain, QByteArray *compressed);

// What gzip -d makes of compressed; a failure is gzip's own account.
Result gzipDecompressed(const QByteArray &compressed, QByteArray *plain);
