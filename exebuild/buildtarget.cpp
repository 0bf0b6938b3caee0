#include "exebuild/buildtarget.h"

#include "common/paths.h"
#include "common/processrunner.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The words of a tool's answer.
QStringList words(const QString &answer)
{
    return answer.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

QString hostArchitecture()
{
    const ProcessResult asked = runQuery(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    return asked.succeeded() ? asked.standardOutput.trimmed() : QString();
}

ProcessResult architectureValues(const QString &architecture, QHash<QString, QString> *values)
{
    // It warns on standard error that CC builds for this machine: its status
    // alone counts.
    const ProcessResult asked = runQuery(QStringLiteral("dpkg-architecture"),
                                         {QStringLiteral("-f"), QStringLiteral("-a") + architecture});
    values->clear();
    for (const QString &line : asked.standardOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        values->insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    return asked;
}

QString BuildTarget::compiler() const
{
    return cross ? gnuType + QStringLiteral("-gcc") : QStringLiteral("gcc");
}

QString BuildTarget::strip() const
{
    return cross ? gnuType + QStringLiteral("-strip") : QStringLiteral("strip");
}

QStringList BuildTarget::dpkgEnvironment() const
{
    return cross ? QStringList{QStringLiteral("DEB_HOST_ARCH=") + architecture} : QStringList();
}

Result buildTarget(const QString &architecture, BuildTarget *target)
{
    const QString host = hostArchitecture();
    if (host.isEmpty())
        return Result::failure(QStringLiteral("Не удалось узнать архитектуру этой машины (dpkg --print-architecture)"));
    BuildTarget found;
    found.architecture = architecture.isEmpty() ? host : architecture;
    found.cross = found.architecture != host;
    QHash<QString, QString> values;
    const ProcessResult asked = architectureValues(found.architecture, &values);
    found.triplet = values.value(QStringLiteral("DEB_HOST_MULTIARCH"));
    found.gnuType = values.value(QStringLiteral("DEB_HOST_GNU_TYPE"));
    static const QRegularExpression name(QStringLiteral("^[a-z0-9_-]+$"));
    if (!asked.succeeded() || !name.match(found.triplet).hasMatch() || !name.match(found.gnuType).hasMatch())
        return Result::failure(QStringLiteral("Архитектура «%1» неизвестна dpkg: %2")
                                   .arg(found.architecture, asked.failureText().trimmed()));
    *target = found;
    return Result::done();
}

QStringList targetArchitectures()
{
    QStringList architectures{hostArchitecture()};
    const ProcessResult foreign = runQuery(QStringLiteral("dpkg"), {QStringLiteral("--print-foreign-architectures")});
    if (foreign.succeeded())
        architectures << words(foreign.standardOutput);
    architectures.removeAll(QString());
    return architectures;
}

QString runtimeConfigName(const QString &triplet, const QString &runtime)
{
    return triplet + QLatin1Char('-') + runtime + QStringLiteral("-config");
}

QStringList installedRuntimes(const QString &triplet)
{
    if (triplet.isEmpty())
        return {};
    // Each libpython3.X-dev ships one configuration program per
    // architecture; Python 3's minor versions stay below 100.
    QStringList runtimes;
    for (int minor = 99; minor >= 0; --minor) {
        const QString runtime = QStringLiteral("python3.%1").arg(minor);
        if (!toolPath(runtimeConfigName(triplet, runtime)).isEmpty())
            runtimes << runtime;
    }
    // The system's python3 first: the default of a build.
    const QString standard = QFileInfo(toolPath(runtimeConfigName(triplet, QStringLiteral("python3")))).symLinkTarget();
    for (const QString &runtime : qAsConst(runtimes)) {
        if (lastComponent(standard) == runtimeConfigName(triplet, runtime)) {
            runtimes.move(runtimes.indexOf(runtime), 0);
            break;
        }
    }
    return runtimes;
}

QStringList installedRuntimes()
{
    BuildTarget host;
    return buildTarget(QString(), &host).success ? installedRuntimes(host.triplet) : QStringList();
}

Result runtimeFlags(const BuildTarget &target, const QString &runtime, RuntimeFlags *flags)
{
    const QString config = runtimeConfigName(target.triplet, runtime);
    const ProcessResult includes = runQuery(config, {QStringLiteral("--includes")});
    const ProcessResult link = runQuery(config, {QStringLiteral("--ldflags"), QStringLiteral("--embed")});
    for (const ProcessResult &asked : {includes, link}) {
        if (!asked.succeeded())
            return Result::failure(QStringLiteral("%1: %2").arg(config, asked.failureText()));
    }
    static const QRegularExpression library(QStringLiteral("^-l[\\w.+-]+$"));
    RuntimeFlags found;
    for (const QString &word : words(includes.standardOutput)) {
        if (word.startsWith(QLatin1String("-I/")) && !found.compile.contains(word))
            found.compile << word;
    }
    for (const QString &word : words(link.standardOutput)) {
        if ((word.startsWith(QLatin1String("-L/")) || library.match(word).hasMatch()) && !found.link.contains(word))
            found.link << word;
    }
    if (found.compile.isEmpty() || !found.link.contains(QStringLiteral("-l") + runtime))
        return Result::failure(
            QStringLiteral("%1 не назвал каталог заголовков или библиотеку %2").arg(config, runtime));
    *flags = found;
    return Result::done();
}
