#include "package/debbuild/debmembers.h"

#include <QFile>

QString debPlaceOf(const QString &deb, qint64 offset)
{
    const QString byte = QStringLiteral("байт %1").arg(offset);
    QFile file(deb);
    const qint64 magic = 8; // "!<arch>\n"
    if (offset < magic || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("заголовок архива ar, ") + byte;
    // Each member: a 60-byte header (the name in its first 16, the size in
    // bytes 48-57), then the data, padded to an even length.
    for (qint64 header = magic; file.seek(header);) {
        const QByteArray fields = file.read(60);
        if (fields.size() < 60)
            break;
        QByteArray name = fields.left(16).trimmed();
        if (name.endsWith('/'))
            name.chop(1);
        const qint64 size = fields.mid(48, 10).trimmed().toLongLong();
        const QString member = QString::fromLatin1(name);
        if (offset < header + 60)
            return QStringLiteral("заголовок члена %1 архива ar, байт %2").arg(member).arg(offset - header);
        if (offset < header + 60 + size)
            return QStringLiteral("%1, байт %2").arg(member).arg(offset - header - 60);
        header += 60 + size + (size & 1);
        if (size < 0 || offset < header)
            return QStringLiteral("выравнивание после члена %1 архива ar, ").arg(member) + byte;
    }
    return QStringLiteral("конец архива ar, ") + byte;
}
