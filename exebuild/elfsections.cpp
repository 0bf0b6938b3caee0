#include "exebuild/elfsections.h"

#include <QByteArray>
#include <QFile>

namespace {

// Reads an unsigned field of size bytes at offset of data in the file's byte order.
quint64 field(const QByteArray &data, int offset, int size, bool bigEndian)
{
    quint64 value = 0;
    for (int i = 0; i < size && offset + size <= data.size(); ++i) {
        const int at = bigEndian ? offset + i : offset + size - 1 - i;
        value = (value << 8) | quint8(data.at(at));
    }
    return value;
}

QByteArray readAt(QFile &file, quint64 offset, qint64 size)
{
    return file.seek(qint64(offset)) ? file.read(size) : QByteArray();
}

} // namespace

QString elfPlaceOf(const QString &path, qint64 offset)
{
    const QString plain = QStringLiteral("байт %1").arg(offset);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return plain;
    const QByteArray header = file.read(64);
    if (!header.startsWith("\x7f"
                           "ELF")
        || header.size() < 52)
        return plain;
    const bool wide = header.at(4) == 2, big = header.at(5) == 2;
    const int word = wide ? 8 : 4;
    const quint64 headerSize = field(header, wide ? 0x34 : 0x28, 2, big);
    const quint64 tableOffset = field(header, wide ? 0x28 : 0x20, word, big);
    const quint64 entrySize = field(header, wide ? 0x3A : 0x2E, 2, big);
    const quint64 count = field(header, wide ? 0x3C : 0x30, 2, big);
    const quint64 names = field(header, wide ? 0x3E : 0x32, 2, big);
    const quint64 at = quint64(offset);
    if (at < headerSize)
        return QStringLiteral("заголовок ELF, байт %1").arg(offset);
    if (at >= tableOffset && at < tableOffset + entrySize * count)
        return QStringLiteral("таблица разделов ELF, байт %1").arg(at - tableOffset);
    const QByteArray table = readAt(file, tableOffset, qint64(entrySize * count));
    const auto section = [&](quint64 index, int part) {
        // sh_name and sh_type are words of 4 bytes; sh_offset and sh_size follow sh_flags and sh_addr.
        const int offsets[] = {0, 4, wide ? 24 : 16, wide ? 32 : 20};
        return field(table, int(index * entrySize) + offsets[part], part < 2 ? 4 : word, big);
    };
    constexpr quint64 noBits = 8;
    for (quint64 index = 1; index < count && quint64(table.size()) >= entrySize * count; ++index) {
        const quint64 start = section(index, 2), size = section(index, 3);
        if (section(index, 1) == noBits || at < start || at >= start + size)
            continue;
        const QByteArray name = readAt(file, section(names, 2) + section(index, 0), 256);
        return QStringLiteral("раздел %1, байт %2")
            .arg(QString::fromUtf8(name.left(name.indexOf('\0'))), QString::number(at - start));
    }
    return plain;
}
