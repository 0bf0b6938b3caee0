#include "common/reproducibility.h"

#include "common/filesystem.h"
#include "common/processrunner.h"

#include <QDateTime>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

const char *const sourceDate = "SOURCE_DATE_EPOCH";

// Sets or removes an environment variable and lets the time functions know.
void putVariable(const char *name, bool set, const QByteArray &value)
{
    if (set)
        qputenv(name, value);
    else
        qunsetenv(name);
    ::tzset();
}

} // namespace

FixedSourceDate::FixedSourceDate()
{
    if (qEnvironmentVariableIsSet(sourceDate))
        return;
    const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
    putVariable(sourceDate, true, now);
    m_note = QStringLiteral("SOURCE_DATE_EPOCH не задана: обе сборки сделаны с SOURCE_DATE_EPOCH=%1")
                 .arg(QString::fromLatin1(now));
}

FixedSourceDate::~FixedSourceDate()
{
    if (!m_note.isEmpty())
        putVariable(sourceDate, false, QByteArray());
}

VariedConditions::VariedConditions()
    : m_umask(::umask(022))
    , m_tz(qgetenv("TZ"))
    , m_locale(qgetenv("LC_ALL"))
    , m_lang(qgetenv("LANG"))
    , m_hadTz(qEnvironmentVariableIsSet("TZ"))
    , m_hadLocale(qEnvironmentVariableIsSet("LC_ALL"))
    , m_hadLang(qEnvironmentVariableIsSet("LANG"))
{
    ::umask((m_umask & 044) ? 022 : 077);
    m_variedLocale = m_locale == "C" ? "C.UTF-8" : "C";
    putVariable("TZ", true, "BEX-13:45");
    putVariable("LC_ALL", true, m_variedLocale);
    putVariable("LANG", true, m_variedLocale);
}

VariedConditions::~VariedConditions()
{
    ::umask(m_umask);
    putVariable("TZ", m_hadTz, m_tz);
    putVariable("LC_ALL", m_hadLocale, m_locale);
    putVariable("LANG", m_hadLang, m_lang);
}

QString VariedConditions::description() const
{
    const mode_t varied = ::umask(0);
    ::umask(varied);
    return QStringLiteral("umask %1, TZ=BEX-13:45 (UTC+13:45), LC_ALL=%2")
        .arg(QString::number(varied, 8).rightJustified(3, QLatin1Char('0')), QString::fromLatin1(m_variedLocale));
}

Result firstDifference(const QString &first, const QString &second, qint64 *offset)
{
    QFile one(first), two(second);
    for (QFile *file : {&one, &two}) {
        if (!file->open(QIODevice::ReadOnly))
            return Result::failure(
                QStringLiteral("Не удалось прочитать %1: %2").arg(file->fileName(), file->errorString()));
    }
    std::vector<char> a(1 << 16), b(1 << 16);
    for (qint64 done = 0;;) {
        const qint64 gotA = one.read(a.data(), qint64(a.size())), gotB = two.read(b.data(), qint64(b.size()));
        if (gotA < 0 || gotB < 0) {
            QFile &failed = gotA < 0 ? one : two;
            return Result::failure(
                QStringLiteral("Не удалось прочитать %1: %2").arg(failed.fileName(), failed.errorString()));
        }
        const qint64 common = qMin(gotA, gotB);
        if (std::memcmp(a.data(), b.data(), size_t(common)) != 0) {
            qint64 i = 0;
            while (a[size_t(i)] == b[size_t(i)])
                ++i;
            *offset = done + i;
            return Result::done();
        }
        if (gotA != gotB) {
            *offset = done + common;
            return Result::done();
        }
        if (gotA == 0) {
            *offset = -1;
            return Result::done();
        }
        done += gotA;
    }
}

Result compareBuilds(const QString &first, const QString &second, const QString &conditions,
                     const std::function<QString(qint64)> &where)
{
    qint64 offset = -1;
    const Result compared = firstDifference(first, second, &offset);
    if (compared.failed())
        return compared;
    if (offset < 0)
        return Result::done(QStringLiteral("Сборка воспроизводима: вторая сборка из копии в другом каталоге (%1) "
                                           "дала те же байты.")
                                .arg(conditions));
    Result differs = Result::done(QStringLiteral("Сборка не воспроизводима: вторая сборка из копии в другом каталоге "
                                                 "(%1) дала другие байты. Первое различие: %2.")
                                      .arg(conditions, where(offset)));
    differs.checkFailed = true;
    if (toolPath(QStringLiteral("diffoscope")).isEmpty()) {
        differs.message += QStringLiteral("\nПодробнее различие покажет diffoscope (пакет diffoscope-minimal).");
        return differs;
    }
    // diffoscope exits with 1 when it found differences, which it did.
    const ProcessResult explained = runQuery(QStringLiteral("diffoscope"),
                                             {QStringLiteral("--no-progress"), QStringLiteral("--text-color=never"),
                                              QStringLiteral("--max-report-size=262144"), QStringLiteral("--text"),
                                              QStringLiteral("-"), first, second});
    differs.details = explained.standardOutput.isEmpty() ? explained.failureText() : explained.standardOutput;
    return differs;
}
