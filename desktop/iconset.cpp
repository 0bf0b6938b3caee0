#include "desktop/iconset.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <vector>

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
    return packageName(workDir);
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
    return iconDirectory(workDir, size) + QLatin1Char('/') + iconName(workDir) + QStringLiteral(".png");
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

Result writeIconSet(const QString &workDir, const QString &picturePath)
{
    if (picturePath.isEmpty())
        return Result::failure(QStringLiteral("Изображение не выбрано!"));
    const Result regular = checkRegularFile(picturePath);
    if (regular.failed())
        return regular;
    QImageReader reader(picturePath);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        return Result::failure(
            QStringLiteral("Не удалось загрузить изображение %1: %2").arg(picturePath, reader.errorString()));
    }
    // All nine are made before the first is written, so that a cancel
    // leaves the work directory as it was.
    std::vector<QByteArray> pngs;
    for (const IconSize &size : iconSizes()) {
        if (jobCancelled())
            return Result::failure(cancelledText());
        pngs.push_back(pngData(picture.scaled(size.pixels, size.pixels)));
        if (pngs.back().isEmpty())
            return Result::failure(
                QStringLiteral("Не удалось преобразовать изображение в PNG для %1").arg(iconFilePath(workDir, size)));
        reportJobProgress(qint64(pngs.size()), qint64(iconSizes().size()));
    }
    // From here the icons are written: a cancel that comes later is refused.
    if (!commitJob())
        return Result::failure(cancelledText());
    for (std::size_t i = 0; i < iconSizes().size(); ++i) {
        const IconSize &size = iconSizes()[i];
        const Result linked = refuseLinksBelow(workDir, QLatin1String(size.directory));
        if (linked.failed())
            return linked;
        const Result made = makePath(iconDirectory(workDir, size), 0755);
        if (made.failed())
            return made;
        const Result written = writeFileAtomically(iconFilePath(workDir, size), pngs[i]);
        if (written.failed())
            return written;
    }
    return Result::done(QStringLiteral("Файлы иконон созданы"));
}

Result removeIconsDirectory(const QString &workDir)
{
    const Result linked = refuseLinksBelow(workDir, QStringLiteral("usr/share/icons"));
    if (linked.failed())
        return linked;
    const QString icons = iconsDirectory(workDir);
    if (!QFileInfo(icons).isDir())
        return Result::failure(QStringLiteral("Файлы для удаления не найдены!"));
    const Result removed = removeTree(icons);
    return removed.failed() ? removed : Result::done(QStringLiteral("Файлы удалены"));
}
