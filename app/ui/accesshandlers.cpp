#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "desktop/accessrights.h"
#include "desktop/ui/accesswindow.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::editAccess()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    showToolWindow(new AccessWindow(workDir), QStringLiteral("Права доступа к файлам"), 50, -100, true);
}

void BexlorWindow::delAccess()
{
    showResult(removeAccessList(ui->lineEditProjectDir_2->text()));
}
