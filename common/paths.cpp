#include "common/paths.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

Result requireWorkDirectory(const QString &workDir)
{
    if (workDir.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог"));
    return Result::done();
}

QString packageName(const QString &workDir)
{
    if (workDir.isEmpty())
        return QString();
    // A relative path names a directory like any other: "." and "w/.." give
    // that directory's own name.
    return lastComponent(QDir::cleanPath(QDir(workDir).absolutePath()));
}

int floorDiv(int numerator, int denominator)
{
    const int quotient = numerator / denominator;
    const bool inexact = quotient * denominator != numerator;
    return (inexact && ((numerator < 0) != (denominator < 0))) ? quotient - 1 : quotient;
}

QPoint centredPosition(const QSize &desktop, const QSize &windowSize, int dx, int dy)
{
    return QPoint(floorDiv(desktop.width() - windowSize.width(), 2) + dx,
                  floorDiv(desktop.height() - windowSize.height(), 2) + dy);
}

QPoint toolWindowPosition(const QSize &desktop, const QSize &mainWindow, const QSize &toolSize, int dx, int dy)
{
    const QPoint centred = centredPosition(desktop, mainWindow, dx, dy);
    return QPoint(qMax(0, qMin(centred.x(), desktop.width() - toolSize.width())),
                  qMax(0, qMin(centred.y(), desktop.height() - toolSize.height())));
}

namespace {

QString homePath()
{
    return QFile::decodeName(qgetenv("HOME"));
}

} // namespace

Result requireHome()
{
    if (homePath().isEmpty())
        return Result::failure(QStringLiteral("Переменная окружения HOME не задана: без домашнего каталога негде "
                                              "хранить настройки и списки прав доступа"));
    return Result::done();
}

QString settingsFilePath()
{
    return homePath() + QStringLiteral("/.config/bexlor-builder.ini");
}

QString dataDirectoryPath()
{
    return homePath() + QStringLiteral("/.bexlor/builder");
}

Result makePath(const QString &path, unsigned lastMode)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (int i = 0; i < parts.size(); ++i) {
        prefix += parts.at(i);
        const QByteArray native = QFile::encodeName(prefix);
        const mode_t mode = i == parts.size() - 1 ? mode_t(lastMode) : mode_t(0777);
        if (::mkdir(native.constData(), mode) != 0) {
            const int error = errno;
            struct stat status;
            if (error != EEXIST || ::stat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
                const QString reason = error == EEXIST ? QStringLiteral("это не каталог") : systemError(error);
                return Result::failure(QStringLiteral("Не удалось создать каталог %1: %2").arg(prefix, reason));
            }
        }
        prefix += QLatin1Char('/');
    }
    return Result::done();
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString operandPath(const QString &path)
{
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
}
