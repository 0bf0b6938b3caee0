#include "desktop/iconset.h"

#include "common/filetree.h"
#include "common/paths.h"
#include "common/textfiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstring>

const std::array<IconSize, 9> &iconSizes()
{
    static const std::array<IconSize, 9> sizes{{
        {256, "/usr/share/icons/hicolor/256x256/apps"},
        {192, "/usr/share/icons/hicolor/192x192/apps"},
        {128, "/usr/share/icons/hicolor/128x128/apps"},
        {96, "/usr/share/icons/hicolor/96x96/apps"},
        {64, "/usr/share/icons/hicolor/64x64/apps"},
        {48, "/usr/share/icons/hicolor/48x48/apps"},
        {32, "/usr/share/icons/hicolor/32x32/apps"},
        {22, "/usr/share/icons/hicolor/22x22/apps"},
        {16, "/usr/share/icons/hicolor/16x16/apps"},
    }};
    return sizes;
}

QString iconName(const QString &workDir)
{
    return lastComponent(workDir);
}

QString iconsDirectory(const QString &workDir)
{
    return workDir + QStringLiteral("/usr/share/icons");
}

QString iconDirectory(const QString &workDir, const IconSize &size)
{
    return workDir + QLatin1String(size.directory);
}

QString iconFilePath(const QString &workDir, const IconSize &size)
{
    return iconDirectory(workDir, size) + QLatin1Char('/') + iconName(workDir)
           + QStringLiteral(".png");
}

namespace {

QByteArray pngData(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        data.clear();
    return data;
}

} // namespace

QString writeIconSet(const QString &workDir, const QString &picturePath)
{
    QImageReader reader(picturePath);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        return QStringLiteral("Не удалось загрузить изображение %1: %2")
            .arg(picturePath, reader.errorString());
    }
    for (const IconSize &size : iconSizes()) {
        const QString madeError = makePath(iconDirectory(workDir, size), 0755);
        if (!madeError.isEmpty())
            return madeError;
        const QByteArray png = pngData(picture.scaled(size.pixels, size.pixels));
        const QString path = iconFilePath(workDir, size);
        if (png.isEmpty())
            return QStringLiteral("Не удалось преобразовать изображение в PNG для %1").arg(path);
        const QString writeError = writeFileAtomically(path, png);
        if (!writeError.isEmpty())
            return writeError;
    }
    return QString();
}

IconRemoval removeIconsDirectory(const QString &workDir)
{
    const QString icons = iconsDirectory(workDir);
    if (!QFileInfo(icons).isDir())
        return {IconRemoval::NotFound, QString()};
    // The first link on the way down ends the walk: what lies behind it may
    // be outside the work directory, so only the link itself is removed.
    QString path = workDir;
    for (const char *component : {"/usr", "/share", "/icons"}) {
        path += QLatin1String(component);
        if (QFileInfo(path).isSymLink()) {
            if (!QFile::remove(path))
                return {IconRemoval::Failed, QStringLiteral("Не удалось удалить ссылку %1").arg(path)};
            return {IconRemoval::Removed, QString()};
        }
    }
    QString failedPath;
    const int error = removeTree(icons, &failedPath);
    if (error != 0) {
        return {IconRemoval::Failed, QStringLiteral("Не удалось удалить %1: %2")
                                         .arg(failedPath, QString::fromLocal8Bit(std::strerror(error)))};
    }
    return {IconRemoval::Removed, QString()};
}
