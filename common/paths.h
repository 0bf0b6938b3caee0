#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

// The text after the last "/" (all of it without one, empty after a trailing "/").
QString lastComponent(const QString &path);

// Division rounding towards negative infinity, as window placement needs
// when a window is larger than the desktop.
int floorDiv(int numerator, int denominator);

// Where a window goes: the centre position of a window of windowSize on the
// desktop, shifted by (dx, dy).
QPoint centredPosition(const QSize &desktop, const QSize &windowSize, int dx = 0, int dy = 0);

// home + "/.config/bexlor-builder.ini"
QString settingsFilePath();
// home + "/.bexlor/builder"
QString dataDirectoryPath();

// Creates path with every missing parent (parents with mode 0777, the last
// directory with lastMode, both less the umask); an existing directory is no
// error. Returns the empty text on success, otherwise a message naming the
// directory that could not be made and why.
QString makePath(const QString &path, unsigned lastMode);
