#include "app/bexlorwindow.h"

#include "common/dialogs.h"
#include "common/paths.h"
#include "desktop/shortcutwindow.h"

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
    showToolWindow(new shortcutWindow(directory),
                   QStringLiteral("Создание/редактирование файла ярлыка"), 50, -100, true);
}
