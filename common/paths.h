#pragma once

#include "common/result.h"
#include <QPoint>
#include <QSize>

#include <QString>
#include <QStringList>

// The text after the last "/" (all of it without one, empty after a trailing "/").
QString lastComponent(const QString &path);

// The package name K of a work directory: the last piece of the path it
// names, trailing slashes, "." and ".." resolved ("/home/u/work/mytool/"
// gives mytool, and so does "." in it); empty for "/" and the empty text.
QString packageName(const QString &workDir);

// The refusal of every work-directory tool when no work directory is given:
// "Необходимо выбрать каталог" for the empty text, success otherwise.
Result requireWorkDirectory(const QString &workDir);

// Division rounding towards negative infinity, as window placement needs
// when a window is larger than the desktop.
int floorDiv(int numerator, int denominator);

// Where a window goes: the centre position of a window of windowSize on the
// desktop, shifted by (dx, dy).
QPoint centredPosition(const QSize &desktop, const QSize &windowSize, int dx = 0, int dy = 0);

// Where a tool window of toolSize goes: centredPosition for the main
// window's size, shifted by (dx, dy), then moved back onto the desktop as far
// as it sticks out (to its top left corner when it is larger), so that a
// small screen shows it whole.
QPoint toolWindowPosition(const QSize &desktop, const QSize &mainWindow, const QSize &toolSize, int dx, int dy);

// Refuses to go on without a home directory: with HOME unset or empty the
// settings file and the access lists would land below "/", where
// QDir::homePath falls back to. Every entry point checks it before it uses
// the two paths below.
Result requireHome();
// $HOME + "/.config/bexlor-builder.ini"
QString settingsFilePath();
// $HOME + "/.bexlor/builder"
QString dataDirectoryPath();

// Creates path with every missing parent (parents with mode 0777, the last
// directory with lastMode, both less the umask); an existing directory is no
// error. A failure names the directory that could not be made and why.
Result makePath(const QString &path, unsigned lastMode);

// The system's own words for an errno value.
QString systemError(int error);

// A path handed to a tool as an operand: a relative path that starts with "-"
// gets "./" in front, so that the tool cannot take it for an option.
QString operandPath(const QString &path);
