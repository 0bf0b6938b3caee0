#include "package/debbuild/controlarea.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "desktop/accessrights.h"
#include "package/control/conffiles.h"
#include "package/control/installedsize.h"
#include "package/control/paragraph.h"
#include "package/debbuild/buildphases.h"
#include "package/debbuild/stagingcopy.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

const QStringList maintainerScripts = {QStringLiteral("preinst"), QStringLiteral("postinst"), QStringLiteral("prerm"),
                                       QStringLiteral("postrm"), QStringLiteral("config")};

bool isRegularFile(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// Gives every regular file directly in DEBIAN its mode, and leaves blank
// maintainer scripts out: dpkg refuses other modes, and lintian every
// script that does nothing.
Result setControlFiles(const QString &debian)
{
    Result result;
    for (const QString &name : directoryEntries(debian)) {
        const QString path = debian + QLatin1Char('/') + name;
        if (!isRegularFile(path))
            continue;
        const Result moded = setMode(path, controlFileMode(name));
        if (moded.failed())
            return moded;
        if (!isMaintainerScript(name))
            continue;
        QByteArray content;
        const Result read = readRegularFile(path, &content);
        if (read.failed())
            return read;
        if (isBlankScript(content)) {
            if (!QFile::remove(path))
                return Result::failure(QStringLiteral("Не удалось удалить копию %1").arg(path));
            result.warnings << QStringLiteral("Пустой сценарий DEBIAN/%1 не включён в пакет").arg(name);
        } else if (!content.startsWith("#!")) {
            result.warnings << QStringLiteral("Сценарий DEBIAN/%1 не начинается со строки «#!»: "
                                              "dpkg не сможет его запустить")
                                   .arg(name);
        }
    }
    return result;
}

// Marks every regular file under etc/ as a conffile, as dh_installdeb does,
// after the user's own lines, into *conffiles and the staged file. dpkg-deb
// refuses a last line without its line break, which the editor does not
// add: the staged copy gets it, as control does.
Result markConffiles(const QString &debian, const QList<QByteArray> &etcFiles, QByteArray *conffiles)
{
    const Result read = readConffiles(debian, conffiles);
    if (read.failed())
        return read;
    const QByteArray own = *conffiles;
    if (!conffiles->isEmpty() && !conffiles->endsWith('\n'))
        *conffiles += '\n';
    QStringList marked;
    for (const QByteArray &file : unlistedConffiles(*conffiles, etcFiles)) {
        *conffiles += '/' + file + '\n';
        marked << QLatin1Char('/') + displayName(file);
    }
    if (*conffiles == own)
        return Result::done();
    Result written = writeFileAtomically(debian + QStringLiteral("/conffiles"), *conffiles, 0644);
    if (!marked.isEmpty())
        written.warnings << QStringLiteral("Файлы из /etc отмечены в DEBIAN/conffiles как файлы настроек: dpkg "
                                           "сохранит их правку пользователем при обновлении пакета:\n")
                                + marked.join(QLatin1Char('\n'));
    return written;
}

} // namespace

bool isMaintainerScript(const QString &name)
{
    return maintainerScripts.contains(name);
}

unsigned controlFileMode(const QString &name)
{
    return isMaintainerScript(name) ? 0755 : 0644;
}

QStringList overriddenAccessLines(const AccessRules &rules)
{
    QStringList notes;
    const QByteArray debian("/DEBIAN");
    for (const AccessRule &rule : rules.rules) {
        const QByteArray name = rule.path.mid(debian.size() + 1);
        unsigned mode = 0;
        if (rule.path == debian)
            mode = 0755;
        else if (rule.path.startsWith(debian + '/') && !name.isEmpty() && !name.contains('/'))
            mode = controlFileMode(QFile::decodeName(name));
        if (mode != 0 && mode != rule.mode)
            notes << QStringLiteral("Строка файла прав доступа заменена (права в пакете: %1): %2")
                         .arg(QString::number(mode, 8), rule.line);
    }
    return notes;
}

bool isBlankScript(const QByteArray &content)
{
    return content.trimmed().isEmpty();
}

Result prepareControlArea(const QString &staging, const AccessRules &rules, const StagedData &staged,
                          ControlParagraph *control)
{
    const PhaseTimer timer(BuildPhase::Control);
    const QString debian = staging + QStringLiteral("/DEBIAN");
    QByteArray conffiles, text;
    Result prepared = runSteps(
        {[&] { return setMode(debian, 0755); }, [&] { return setControlFiles(debian); },
         [&] { return markConffiles(debian, staged.etcFiles, &conffiles); },
         [&] {
             // Conffiles, whose sums dpkg keeps itself, are left out, as dh_md5sums does.
             return writeMd5sums(debian + QStringLiteral("/md5sums"),
                                 checksumsWithoutConffiles(staged.md5sums, conffiles), 0644);
         },
         [&] { return setInstalledSize(debian + QStringLiteral("/control"), staged.installedSizeKiB, &text); }});
    *control = parseControl(text);
    prepared.warnings = overriddenAccessLines(rules) + prepared.warnings;
    return prepared;
}
