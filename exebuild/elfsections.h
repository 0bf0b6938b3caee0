#pragma once

#include <QString>

// Where offset lies in the ELF file at path, for a message that names the
// first byte two builds differ at: "раздел .rodata, байт N" (N counted from
// the section's start), the ELF header or the section table, or "байт N"
// of the file when no section holds it or the file is no ELF file. Either
// byte order and word size, whatever machine builds.
QString elfPlaceOf(const QString &path, qint64 offset);
