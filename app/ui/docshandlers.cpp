#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "package/packagedocs.h"

#include <QFileInfo>

void BexlorWindow::createDocs()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    DocsFields fields;
    const Result read = readDocsFields(workDir, &fields);
    if (read.failed()) {
        showError(read.message);
        return;
    }
    QStringList existing;
    for (const QString &path : docsPaths(workDir, fields)) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            existing << path;
    }
    if (!existing.isEmpty()
        && !Dialogs::instance().question(QStringLiteral("Документы пакета"),
                                         QStringLiteral("Эти файлы уже есть и будут заменены:\n")
                                             + existing.join(QLatin1Char('\n')) + QStringLiteral("\nЗаменить их?")))
        return;
    showResult(writePackageDocs(workDir, fields, QDateTime::currentDateTime()));
}
