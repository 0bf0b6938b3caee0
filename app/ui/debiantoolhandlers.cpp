#include "app/ui/bexlorwindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "package/ui/editwindow.h"

void BexlorWindow::editFiles()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    const Result written = makePath(workDir + QStringLiteral("/DEBIAN"), 0767);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    showToolWindow(new editWindow(workDir), QStringLiteral("Создание/редактирование файлов каталога DEBIAN"), 0, -100,
                   true);
}
