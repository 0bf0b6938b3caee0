#include "app/ui/bexlorwindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "desktop/ui/shortcutwindow.h"

void BexlorWindow::createShortcut()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    const QString directory = applicationsDirectory(workDir);
    const Result written = makePath(directory, 0755);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    showToolWindow(new shortcutWindow(directory), QStringLiteral("Создание/редактирование файла ярлыка"), 50, -100,
                   true);
}
