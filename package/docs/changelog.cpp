#include "package/docs/changelog.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "package/control/relations.h"
#include "package/docs/gzipfiles.h"
#include "package/docs/templates.h"

#include <QLocale>
#include <QRegularExpression>

QString rfc2822Date(const QDateTime &time)
{
    const int offset = time.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return QLocale::c().toString(time, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone;
}

QByteArray changelogEntry(const DocsFields &fields, const QString &change, const QDateTime &time)
{
    return QStringLiteral("%1 (%2) unstable; urgency=medium\n\n  * %3\n\n -- %4  %5\n")
        .arg(fields.package, fields.version, change, fields.signer, rfc2822Date(time))
        .toUtf8();
}

Result changelogTopVersion(const QByteArray &changelog, QString *version)
{
    static const QRegularExpression heading(QStringLiteral("^\\w[-+0-9a-z.]* \\(([^ ()]+)\\)"));
    const QRegularExpressionMatch match = heading.match(QString::fromUtf8(changelog.left(changelog.indexOf('\n'))));
    if (!match.hasMatch())
        return Result::failure(QStringLiteral("Первая строка changelog не является заголовком записи "
                                              "«пакет (версия) дистрибутив; urgency=…»"));
    *version = match.captured(1);
    return Result::done();
}

Result updateChangelog(const QByteArray &existing, const DocsFields &fields, const QDateTime &time,
                       ChangelogUpdate *update)
{
    if (existing.isEmpty()) {
        *update = {true, changelogEntry(fields, QStringLiteral("Первый выпуск."), time)};
        return Result::done();
    }
    QString top;
    const Result read = changelogTopVersion(existing, &top);
    if (read.failed())
        return read;
    DebianVersion ours, theirs;
    if (parseDebianVersion(fields.version.toUtf8(), &ours).failed()
        || parseDebianVersion(top.toUtf8(), &theirs).failed())
        return Result::failure(QStringLiteral("Версия «%1» в начале changelog не является версией Debian").arg(top));
    const int order = compareVersions(ours, theirs);
    if (order < 0)
        return Result::failure(QStringLiteral("Версия %1 в DEBIAN/control старше версии %2 последней записи "
                                              "changelog: новая запись не может быть старше прежних")
                                   .arg(fields.version, top));
    *update = order == 0
                  ? ChangelogUpdate{false, existing}
                  : ChangelogUpdate{true, changelogEntry(fields, changelogPlaceholder(), time) + '\n' + existing};
    return Result::done();
}

Result checkChangelog(const QByteArray &text)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return directory.made();
    const QString plain = directory.path() + QStringLiteral("/changelog.Debian");
    const Result written = writeFileAtomically(plain, text);
    if (written.failed())
        return written;
    // What it makes of a good changelog is no news to anyone watching the
    // tools' output; its warnings are a refusal too, in the user's language.
    const QuietOutput quiet;
    const ProcessResult parsed = runProcess(QStringLiteral("dpkg-parsechangelog"),
                                            {QStringLiteral("--all"), QStringLiteral("-l"), plain});
    if (!parsed.succeeded() || hasOwnDiagnostic(parsed, QStringLiteral("dpkg-parsechangelog"))) {
        return Result::failure(QStringLiteral("dpkg-parsechangelog не принимает changelog, составленный по "
                                              "DEBIAN/control:\n")
                               + QString(parsed.failureText()).replace(plain, QStringLiteral("changelog.Debian")));
    }
    return Result::done();
}

QString changelogPath(const QString &workDir, const QString &package, const QString &version)
{
    // A native package (a version without a Debian revision) is its own upstream: its changelog is the only one.
    DebianVersion parsed;
    const bool native = parseDebianVersion(version.toUtf8(), &parsed).failed() || parsed.revision.isEmpty();
    return docDirectory(workDir, package)
           + (native ? QStringLiteral("/changelog.gz") : QStringLiteral("/changelog.Debian.gz"));
}

Result readChangelog(const QString &path, QByteArray *text)
{
    QByteArray compressed;
    const Result read = readRegularFile(path, &compressed);
    if (read.failed())
        return read;
    const Result decompressed = gzipDecompressed(compressed, text);
    if (decompressed.failed())
        return Result::failure(QStringLiteral("Не удалось распаковать %1: %2").arg(path, decompressed.message));
    return Result::done();
}
