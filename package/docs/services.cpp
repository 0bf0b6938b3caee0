#include "package/docs/services.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "common/processrunner.h"
#include "package/control/paragraph.h"
#include "package/control/relations.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>

namespace {

const QByteArray blockStart = "# bexlor-builder: начало блока служб systemd (программа обновляет его сама)\n";
const QByteArray blockEnd = "# bexlor-builder: конец блока служб systemd\n";

// The unit types dh_installsystemd enables and starts.
const QRegularExpression unitName(QStringLiteral("^[^@/']+\\.(mount|path|service|socket|target|timer)$"));

// The unit directories below the work directory, the canonical one first.
QStringList unitDirectories(const QString &workDir)
{
    return {workDir + QLatin1Char('/') + serviceUnitSubdirectory(), workDir + QStringLiteral("/lib/systemd/system")};
}

// The units of workDir as regular files (a link is an alias or a mask), each
// once, with their text.
QList<QPair<QString, QByteArray>> serviceUnits(const QString &workDir)
{
    QList<QPair<QString, QByteArray>> units;
    // No work directory is no reason to read the system's own units.
    const QString name = packageName(workDir);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return units;
    QStringList seen;
    for (const QString &directory : unitDirectories(workDir)) {
        for (const QString &name : directoryEntries(directory)) {
            struct stat status;
            const QString path = directory + QLatin1Char('/') + name;
            QByteArray text;
            if (seen.contains(name) || !unitName.match(name).hasMatch()
                || ::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)
                || readRegularFile(path, &text).failed()) {
                continue;
            }
            seen << name;
            units.append({name, text});
        }
    }
    std::sort(units.begin(), units.end());
    return units;
}

// dh_installsystemd enables a unit that has an [Install] section.
bool hasInstallSection(const QByteArray &unit)
{
    for (const QByteArray &line : unit.split('\n')) {
        if (line.trimmed() == "[Install]")
            return true;
    }
    return false;
}

QByteArray quoted(const QStringList &units)
{
    QByteArrayList words;
    for (const QString &unit : units)
        words << '\'' + unit.toUtf8() + '\'';
    return words.join(' ');
}

// The text of a script without its marked block.
QByteArray withoutBlock(const QByteArray &script)
{
    const int start = script.indexOf(blockStart);
    const int end = script.indexOf(blockEnd, start);
    if (start < 0 || end < 0)
        return script;
    return script.left(start) + script.mid(end + blockEnd.size());
}

QString scriptPath(const QString &workDir, const char *script)
{
    return workDir + QStringLiteral("/DEBIAN/") + QLatin1String(script);
}

// The text of a script of workDir; a missing one is empty.
Result readScript(const QString &path, QByteArray *text)
{
    text->clear();
    return entryExists(path) ? readRegularFile(path, text) : Result::done();
}

// Whether a line of the script calls a helper on the unit.
bool handles(const QByteArray &script, const QString &unit)
{
    for (const QByteArray &line : script.split('\n')) {
        if ((line.contains("deb-systemd-helper") || line.contains("deb-systemd-invoke")) && line.contains(unit.toUtf8())
            && !line.trimmed().startsWith('#')) {
            return true;
        }
    }
    return false;
}

} // namespace

QString serviceUnitSubdirectory()
{
    return QStringLiteral("usr/lib/systemd/system");
}

QString serviceUnitPath(const QString &folder, const QString &typedName, const QString &selected)
{
    if (!typedName.isEmpty())
        return folder + typedName + QStringLiteral(".service");
    return selected.isEmpty() ? QString() : folder + selected;
}

QString serviceUnitTemplate(const QString &k)
{
    return QStringLiteral("[Unit]\n"
                          "Description=%1\n"
                          "Documentation=man:%1(1)\n"
                          "After=network.target\n"
                          "\n"
                          "[Service]\n"
                          "Type=exec\n"
                          "ExecStart=/usr/bin/%1\n"
                          "Restart=on-failure\n"
                          "NoNewPrivileges=yes\n"
                          "PrivateTmp=yes\n"
                          "ProtectHome=yes\n"
                          "ProtectSystem=full\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=multi-user.target\n")
        .arg(k);
}

ServiceBlocks serviceBlocks(const QStringList &enableUnits, const QStringList &startUnits)
{
    // The snippets of dh_installsystemd (debhelper 13), with every start and
    // stop skipped when dpkg installs into another root (DPKG_ROOT), where
    // the helpers only record links.
    const QByteArray configured = "if [ \"$1\" = \"configure\" ] || [ \"$1\" = \"abort-upgrade\" ] || "
                                  "[ \"$1\" = \"abort-deconfigure\" ] || [ \"$1\" = \"abort-remove\" ] ; then\n";
    const QByteArray started = quoted(startUnits);
    ServiceBlocks blocks;
    for (const QString &unit : enableUnits) {
        const QByteArray one = quoted({unit});
        blocks.postinst += configured
                           + "\t# The following line should be removed in trixie or trixie+1\n"
                             "\tdeb-systemd-helper unmask "
                           + one
                           + " >/dev/null || true\n\n"
                             "\t# was-enabled defaults to true, so new installations run enable.\n"
                             "\tif deb-systemd-helper --quiet was-enabled "
                           + one
                           + "; then\n"
                             "\t\t# Enables the unit on first installation, creates new\n"
                             "\t\t# symlinks on upgrades if the unit file has changed.\n"
                             "\t\tdeb-systemd-helper enable "
                           + one
                           + " >/dev/null || true\n"
                             "\telse\n"
                             "\t\t# Update the statefile to add new symlinks (if any), which need to be\n"
                             "\t\t# cleaned up on purge. Also remove old symlinks.\n"
                             "\t\tdeb-systemd-helper update-state "
                           + one + " >/dev/null || true\n\tfi\nfi\n";
    }
    if (!enableUnits.isEmpty()) {
        blocks.postrm += "if [ \"$1\" = \"purge\" ]; then\n"
                         "\tif [ -x \"/usr/bin/deb-systemd-helper\" ]; then\n"
                         "\t\tdeb-systemd-helper purge "
                         + quoted(enableUnits) + " >/dev/null || true\n\tfi\nfi\n";
    }
    if (!startUnits.isEmpty()) {
        blocks.postinst += configured
                           + "\tif [ -z \"${DPKG_ROOT:-}\" ] && [ -d /run/systemd/system ]; then\n"
                             "\t\tsystemctl --system daemon-reload >/dev/null || true\n"
                             "\t\tif [ -n \"$2\" ]; then\n"
                             "\t\t\t_dh_action=restart\n"
                             "\t\telse\n"
                             "\t\t\t_dh_action=start\n"
                             "\t\tfi\n"
                             "\t\tdeb-systemd-invoke $_dh_action "
                           + started + " >/dev/null || true\n\tfi\nfi\n";
        blocks.prerm += "if [ -z \"${DPKG_ROOT:-}\" ] && [ \"$1\" = remove ] && [ -d /run/systemd/system ] ; then\n"
                        "\tdeb-systemd-invoke stop "
                        + started + " >/dev/null || true\nfi\n";
        blocks.postrm += "if [ -z \"${DPKG_ROOT:-}\" ] && [ \"$1\" = remove ] && [ -d /run/systemd/system ] ; then\n"
                         "\tsystemctl --system daemon-reload >/dev/null || true\n"
                         "fi\n";
    }
    for (QByteArray *block : {&blocks.postinst, &blocks.prerm, &blocks.postrm}) {
        if (!block->isEmpty())
            *block = blockStart + *block + blockEnd;
    }
    return blocks;
}

QByteArray withServiceBlock(const QByteArray &script, const QByteArray &block)
{
    const int start = script.indexOf(blockStart);
    const int end = script.indexOf(blockEnd, start);
    if (start >= 0 && end >= 0)
        return script.left(start) + block + script.mid(end + blockEnd.size());
    if (block.isEmpty())
        return script;
    if (script.trimmed().isEmpty())
        return "#!/bin/sh\nset -e\n\n" + block + "\nexit 0\n";
    // Before the script's last "exit 0", where dh puts #DEBHELPER#.
    static const QRegularExpression finalExit(QStringLiteral("(^|\\n)exit 0[ \\t]*\\n?\\s*$"));
    const QRegularExpressionMatch exit = finalExit.match(QString::fromLatin1(script));
    if (exit.hasMatch()) {
        const int at = exit.capturedStart() + exit.captured(1).size();
        return script.left(at) + block + '\n' + script.mid(at);
    }
    return script + (script.endsWith('\n') ? "" : "\n") + block;
}

QByteArray serviceHelpersDependency()
{
    // deb-systemd-invoke handles the stop of prerm since 1.54.
    return "init-system-helpers (>= 1.54~)";
}

QByteArray withDependency(const QByteArray &control, const QByteArray &entry)
{
    const ControlParagraph paragraph = parseControl(control);
    QList<RelationGroup> needed;
    parseRelations("Depends", entry, &needed);
    for (const char *field : {"Depends", "Pre-Depends"}) {
        QList<RelationGroup> declared;
        if (parseRelations(field, paragraph.raw(QLatin1String(field)), &declared).failed())
            continue;
        for (const RelationGroup &group : declared) {
            if (!needed.isEmpty() && implies(group, needed.first()))
                return control;
        }
    }
    QList<QByteArray> lines = control.split('\n');
    const ControlField *depends = paragraph.field(QStringLiteral("Depends"));
    if (depends) {
        // The field's last line: continuation lines follow its first.
        int last = depends->line - 1;
        while (last + 1 < lines.size() && !lines.at(last + 1).isEmpty() && isControlSpace(lines.at(last + 1).at(0)))
            ++last;
        QByteArray &line = lines[last];
        while (!line.isEmpty() && isControlSpace(line.back()))
            line.chop(1);
        line += (depends->raw.trimmed().isEmpty() ? " " : ", ") + entry;
        return lines.join('\n');
    }
    const ControlField *description = paragraph.field(QStringLiteral("Description"));
    const int at = description ? description->line - 1 : lines.size() - (control.endsWith('\n') ? 1 : 0);
    lines.insert(at, "Depends: " + entry);
    return lines.join('\n') + (description || control.endsWith('\n') ? "" : "\n");
}

QStringList unhandledServiceUnits(const QString &workDir)
{
    QByteArray postinst;
    readScript(scriptPath(workDir, "postinst"), &postinst);
    QStringList units;
    for (const auto &unit : serviceUnits(workDir)) {
        if (!handles(postinst, unit.first))
            units << unit.first;
    }
    return units;
}

Result addServiceScripts(const QString &workDir)
{
    QByteArray postinst;
    const Result read = readScript(scriptPath(workDir, "postinst"), &postinst);
    if (read.failed())
        return read;
    // The block covers the units the user's own lines leave alone.
    const QByteArray own = withoutBlock(postinst);
    QStringList enable, start;
    for (const auto &unit : serviceUnits(workDir)) {
        if (handles(own, unit.first))
            continue;
        start << unit.first;
        if (hasInstallSection(unit.second))
            enable << unit.first;
    }
    const ServiceBlocks blocks = serviceBlocks(enable, start);
    const QList<QPair<const char *, QByteArray>> scripts = {
        {"postinst", blocks.postinst}, {"prerm", blocks.prerm}, {"postrm", blocks.postrm}};
    for (const auto &script : scripts) {
        const QString path = scriptPath(workDir, script.first);
        QByteArray text;
        Result done = readScript(path, &text);
        const QByteArray changed = withServiceBlock(text, script.second);
        if (done.success && changed != text)
            done = writeFileAtomically(path, changed, entryExists(path) ? -1 : 0755);
        if (done.failed())
            return done;
    }
    if (start.isEmpty())
        return Result::done();
    const QString controlPath = workDir + QStringLiteral("/DEBIAN/control");
    QByteArray control;
    const Result controlRead = readRegularFile(controlPath, &control);
    if (controlRead.failed())
        return controlRead;
    const QByteArray depending = withDependency(control, serviceHelpersDependency());
    const Result written = depending == control ? Result::done() : writeFileAtomically(controlPath, depending);
    if (written.failed())
        return written;
    return Result::done(QStringLiteral("В DEBIAN/postinst, prerm и postrm добавлены блоки служб systemd: %1; "
                                       "в Depends — %2")
                            .arg(start.join(QStringLiteral(", ")), QString::fromLatin1(serviceHelpersDependency())));
}

Result verifyServiceUnit(const QString &workDir, const QString &unit)
{
    if (toolPath(QStringLiteral("systemd-analyze")).isEmpty())
        return Result::done();
    // The root makes the unit's programs those of the package; the manual
    // pages and the units it orders itself after are not there to check.
    const ProcessResult verified = runQuery(
        QStringLiteral("systemd-analyze"),
        {QStringLiteral("verify"), QStringLiteral("--man=no"), QStringLiteral("--recursive-errors=no"),
         QStringLiteral("--root=") + QDir(workDir).absolutePath(), QStringLiteral("--"), unit});
    if (verified.succeeded())
        return Result::done();
    return Result::failure(
        QStringLiteral("systemd-analyze verify находит ошибки в %1:\n%2").arg(unit, verified.failureText().trimmed()));
}

QStringList serviceWarnings(const QString &workDir)
{
    QStringList warnings;
    const QStringList unhandled = unhandledServiceUnits(workDir);
    if (!unhandled.isEmpty()) {
        warnings << QStringLiteral("Сценарии DEBIAN не включают и не запускают службы systemd: %1. Стандартные "
                                   "фрагменты добавляет окно перед сборкой или команда bexlor-build service")
                        .arg(unhandled.join(QStringLiteral(", ")));
    }
    for (const auto &unit : serviceUnits(workDir)) {
        const Result verified = verifyServiceUnit(workDir, unit.first);
        if (verified.failed())
            warnings << verified.message;
    }
    return warnings;
}
