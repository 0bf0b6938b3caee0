#pragma once

#include "common/result.h"

#include <QString>

#include <array>

// One size of the hicolor icon set: the square edge in pixels and the
// directory below the work directory that holds it.
struct IconSize
{
    int pixels;
    const char *directory;
};

// The nine sizes, in the order the set is written (largest first).
const std::array<IconSize, 9> &iconSizes();

// The file name of every icon of the set, without ".png": the package name
// the build uses, the last path piece of the work directory with trailing
// slashes ignored.
QString iconName(const QString &workDir);
// workDir + "/usr/share/icons"
QString iconsDirectory(const QString &workDir);
// workDir + the size's directory
QString iconDirectory(const QString &workDir, const IconSize &size);
// The size's directory + "/" + icon name + ".png"
QString iconFilePath(const QString &workDir, const IconSize &size);

// Writes the nine icons, each scaled from the picture itself to N x N (a
// picture that is not square is stretched) without smoothing. No picture
// path is refused with "Изображение не выбрано!". Nothing is
// created when the picture cannot be loaded; it stops at the first directory
// or file that fails, and at a directory on the way that is a link, since
// nothing is written outside the work directory. A link at an icon's own
// path is replaced by the new file. Success carries the completion text.
Result writeIconSet(const QString &workDir, const QString &picturePath);

// Deletes the icons directory of the work directory with everything in it.
// If it, or a directory above it inside the work directory, is a symbolic
// link, nothing is deleted and the link is named.
// The result carries the completion text, or "not found" when there is no
// icons directory.
Result removeIconsDirectory(const QString &workDir);
