#pragma once

#include "common/result.h"

#include <QString>
#include <QStringList>

// How dpkg-deb compresses the package's data: xz (its own default, which
// Debian's archive expects), zstd, gzip or none, at a level or at the
// compressor's own default level.
struct Compression
{
    QString name = QStringLiteral("xz");
    int level = -1; // the compressor's default

    bool isDefault() const { return name == QLatin1String("xz") && level < 0; }
};

// The compressors offered, the default first.
QStringList compressionNames();

// The levels a compressor takes, lowest and highest (xz 0-9, zstd 1-19,
// gzip 1-9); none takes none, which gives a lowest above the highest.
struct LevelRange
{
    int lowest;
    int highest;
};
LevelRange compressionLevels(const QString &name);

// Refuses a compressor that is not offered and a level outside its range,
// naming the range; none takes no level.
Result checkCompression(const Compression &compression);

// The options of dpkg-deb that choose the compression: none for the default.
QStringList compressionArguments(const Compression &compression);

// What the build's message says of a compression that is not the default:
// "Сжатие: zstd, уровень 19." or the empty text. The warnings that go with
// it: a zstd package cannot be installed by older dpkg.
QString compressionNote(const Compression &compression);
QStringList compressionWarnings(const Compression &compression);
