#include "app/ui/bexlorwindow.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "desktop/accessrights.h"
#include "desktop/ui/accesswindow.h"
#include "ui_bexlorBuilderGui.h"

#include <QFile>
#include <QFileInfo>

void BexlorWindow::editAccess()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    showToolWindow(new AccessWindow(workDir), QStringLiteral("Права доступа к файлам"), 50, -100, true);
}

void BexlorWindow::delAccess()
{
    const QString name = packageName(ui->lineEditProjectDir_2->text());
    // An empty name would make the path the data directory itself.
    const QString path = accessRightsPath(name);
    if (name.isEmpty() || !QFileInfo(path).isFile()) {
        showError(QStringLiteral("Файл настроек прав доступа не найден"));
        return;
    }
    QFile file(path);
    if (!file.remove()) {
        showError(QStringLiteral("Не удалось удалить файл %1: %2").arg(path, file.errorString()));
        return;
    }
    showDone(QStringLiteral("Настройки прав доступа очищены!"));
}
