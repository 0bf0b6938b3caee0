#pragma once

#include <QString>

// Where in a .deb an offset lies, for a message: the ar member (debian-binary,
// control.tar.*, data.tar.*) and the offset within it, or the archive's own
// header or a member's header.
QString debPlaceOf(const QString &deb, qint64 offset);
