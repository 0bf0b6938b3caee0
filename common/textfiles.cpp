#include "common/textfiles.h"

#include <QFileInfo>
#include <QSaveFile>

Result writeFileAtomically(const QString &path, const QByteArray &data)
{
    if (QFileInfo(path).isDir())
        return Result::failure(QStringLiteral("Не удалось записать файл %1: это каталог").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(data) != data.size()
        || !file.commit()) {
        return Result::failure(QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
    }
    return Result::done();
}
