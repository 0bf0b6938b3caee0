#pragma once

#include <QFile>
#include <QList>
#include <QString>

// Reading the section table of an ELF file of either byte order and word
// size, whatever machine builds: executables built for another
// architecture are read as this machine's are.

// An unsigned field of size bytes at offset of data, in the byte order given;
// 0 where data is too short.
quint64 elfField(const QByteArray &data, int offset, int size, bool bigEndian);

struct ElfSection
{
    quint64 name = 0; // its name's offset in the section of names
    quint32 type = 0;
    quint64 offset = 0;
    quint64 size = 0;
};

struct ElfLayout
{
    bool bigEndian = false;
    quint64 headerSize = 0;
    quint64 tableOffset = 0;
    quint64 tableSize = 0;
    quint64 namesSection = 0; // the index of the section of names
    QList<ElfSection> sections;
};

// The layout of the open file; false for a file that is no ELF file or whose
// section table cannot be read whole.
bool readElfLayout(QFile &file, ElfLayout *layout);

// Where offset lies in the ELF file at path, for a message that names the
// first byte two builds differ at: "раздел .rodata, байт N" (N counted from
// the section's start), the ELF header or the section table, or "байт N"
// of the file when no section holds it or the file is no ELF file.
QString elfPlaceOf(const QString &path, qint64 offset);
