#pragma once

#include <QString>

// Names are bytes. Where the locale is UTF-8, this makes the locale's codec,
// through which Qt reads the command line's arguments and turns file names
// into bytes and back, keep the bytes of a name that is not UTF-8: each stray
// byte becomes a lone surrogate U+DC80..U+DCFF on the way in, and the same
// byte again on the way out, where the plain codec would put U+FFFD and
// write its three bytes instead. Shown text has a "?" for each such byte.
void keepStrayBytesInNames();

// Whether text holds a byte kept that way: it came from bytes that are not UTF-8.
bool hasStrayBytes(const QString &text);
