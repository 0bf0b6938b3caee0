#include "package/editor/debianeditor.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "exebuild/buildtarget.h"
#include "package/docs/templates.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

Result createStandardFiles(const QString &workDir)
{
    QStringList failures;
    for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm"}) {
        // Opening a FIFO would block, and an existing file keeps its text.
        QFile file(workDir + QStringLiteral("/DEBIAN/") + QLatin1String(name));
        if (entryExists(file.fileName()))
            continue;
        if (!file.open(QIODevice::Append))
            failures << file.fileName() + QStringLiteral(": ") + file.errorString();
    }
    if (!failures.isEmpty())
        return Result::failure(QStringLiteral("Не удалось создать файлы:\n") + failures.join(QLatin1Char('\n')));
    return Result::done();
}

Result debianFileTemplate(const QString &name, const QString &workDir, QString *text)
{
    const QString architecture = name == QLatin1String("control") ? hostArchitecture() : QString();
    *text = name == QLatin1String("control") ? controlTemplate(
                packageName(workDir), architecture.isEmpty() ? QStringLiteral("all") : architecture, userMaintainer())
                                             : maintainerScriptTemplate(name);
    if (text->isEmpty()) {
        return Result::failure(QStringLiteral("Для файла «%1» шаблона нет: шаблоны есть для control, preinst, "
                                              "postinst, prerm, postrm и config")
                                   .arg(name));
    }
    return Result::done();
}

bool offersChecksums(const QString &name)
{
    return name == QLatin1String("md5sums");
}

QString md5sumsPath(const QString &workDir)
{
    return workDir + QStringLiteral("/DEBIAN/md5sums");
}
