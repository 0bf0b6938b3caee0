#pragma once

#include "common/result.h"

#include <QDateTime>

// The time a build stamps on what it makes (a changelog's trailer, a manual
// page's date, a release's date, a copyright year): SOURCE_DATE_EPOCH, in
// UTC, when the environment sets it, so that the same inputs give the same
// bytes anywhere; the current local time otherwise. A value that is no whole
// number of seconds since 1970 is refused with its text, as reproducible
// builds ask, rather than replaced by another time.
Result sourceDateTime(QDateTime *time);
