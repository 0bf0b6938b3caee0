#include "exebuild/elfsections.h"

#include <QByteArray>

namespace {

QByteArray readAt(QFile &file, quint64 offset, qint64 size)
{
    return file.seek(qint64(offset)) ? file.read(size) : QByteArray();
}

} // namespace

quint64 elfField(const QByteArray &data, int offset, int size, bool bigEndian)
{
    quint64 value = 0;
    for (int i = 0; i < size && offset >= 0 && offset + size <= data.size(); ++i) {
        const int at = bigEndian ? offset + i : offset + size - 1 - i;
        value = (value << 8) | quint8(data.at(at));
    }
    return value;
}

bool readElfLayout(QFile &file, ElfLayout *layout)
{
    const QByteArray header = readAt(file, 0, 64);
    if (!header.startsWith("\x7f"
                           "ELF")
        || header.size() < 52)
        return false;
    const bool wide = header.at(4) == 2, big = header.at(5) == 2;
    const int word = wide ? 8 : 4;
    ElfLayout read;
    read.bigEndian = big;
    read.headerSize = elfField(header, wide ? 0x34 : 0x28, 2, big);
    read.tableOffset = elfField(header, wide ? 0x28 : 0x20, word, big);
    const quint64 entrySize = elfField(header, wide ? 0x3A : 0x2E, 2, big);
    const quint64 count = elfField(header, wide ? 0x3C : 0x30, 2, big);
    read.tableSize = entrySize * count;
    read.namesSection = elfField(header, wide ? 0x3E : 0x32, 2, big);
    // sh_name and sh_type are words of 4 bytes; sh_offset and sh_size follow sh_flags and sh_addr.
    const int sizeAt = wide ? 32 : 20, offsetAt = sizeAt - word;
    if (count > 0 && entrySize < quint64(sizeAt + word))
        return false;
    const QByteArray table = readAt(file, read.tableOffset, qint64(read.tableSize));
    if (quint64(table.size()) != read.tableSize)
        return false;
    for (quint64 index = 0; index < count; ++index) {
        const int at = int(index * entrySize);
        read.sections << ElfSection{elfField(table, at, 4, big), quint32(elfField(table, at + 4, 4, big)),
                                    elfField(table, at + offsetAt, word, big), elfField(table, at + sizeAt, word, big)};
    }
    *layout = read;
    return true;
}

QString elfPlaceOf(const QString &path, qint64 offset)
{
    const QString plain = QStringLiteral("байт %1").arg(offset);
    QFile file(path);
    ElfLayout layout;
    if (!file.open(QIODevice::ReadOnly) || !readElfLayout(file, &layout))
        return plain;
    const quint64 at = quint64(offset);
    if (at < layout.headerSize)
        return QStringLiteral("заголовок ELF, байт %1").arg(offset);
    if (at >= layout.tableOffset && at < layout.tableOffset + layout.tableSize)
        return QStringLiteral("таблица разделов ELF, байт %1").arg(at - layout.tableOffset);
    constexpr quint32 noBits = 8;
    for (int index = 1; index < layout.sections.size(); ++index) {
        const ElfSection &section = layout.sections.at(index);
        if (section.type == noBits || at < section.offset || at >= section.offset + section.size)
            continue;
        const QByteArray name = readAt(file, layout.sections.value(int(layout.namesSection)).offset + section.name,
                                       256);
        return QStringLiteral("раздел %1, байт %2")
            .arg(QString::fromUtf8(name.left(name.indexOf('\0'))), QString::number(at - section.offset));
    }
    return plain;
}
