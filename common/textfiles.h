#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

// Writes data to path through a temporary file that replaces the target only
// once complete, so a failed write leaves the old file as it was; an existing
// file keeps its mode. A failure names the path and the reason.
Result writeFileAtomically(const QString &path, const QByteArray &data);
