#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

// What a reproducibility check needs whatever it builds: fixed source date,
// the other conditions of the second build, and the comparison of the two.

// Gives the builds of a check one SOURCE_DATE_EPOCH for the scope's lifetime:
// the user's, or, when none is set, the current time, removed again at the
// end, so that the check tests what the user would get with one.
class FixedSourceDate
{
public:
    FixedSourceDate();
    ~FixedSourceDate();
    FixedSourceDate(const FixedSourceDate &) = delete;
    FixedSourceDate &operator=(const FixedSourceDate &) = delete;

    // "" when the user set it; otherwise the note that says which was used.
    QString note() const { return m_note; }

private:
    QString m_note;
};

// The second build of a check runs, for the scope's lifetime, under another
// umask (077 when the current one lets others read, 022 otherwise), another
// time zone (UTC+13:45, which no machine's own is) and another locale (C
// against C.UTF-8). The program's own, and what its tools inherit, is back
// afterwards.
class VariedConditions
{
public:
    VariedConditions();
    ~VariedConditions();
    VariedConditions(const VariedConditions &) = delete;
    VariedConditions &operator=(const VariedConditions &) = delete;

    // "umask 077, TZ=…, LC_ALL=…", for the message.
    QString description() const;

private:
    mode_t m_umask;
    QByteArray m_tz, m_locale, m_lang;
    bool m_hadTz, m_hadLocale, m_hadLang;
    QByteArray m_variedLocale;
};

// The offset of the first byte at which the files first and second differ,
// one running out first included, read in blocks; -1 when they are the same.
// A failure names the file that could not be read.
Result firstDifference(const QString &first, const QString &second, qint64 *offset);

// Compares what two builds made: identical files are a reproducible build;
// otherwise checkFailed is set, the message names where (what where says of
// the first differing offset) and the conditions of the second build, and
// diffoscope's account, when it is installed, goes to the details.
Result compareBuilds(const QString &first, const QString &second, const QString &conditions,
                     const std::function<QString(qint64)> &where);
