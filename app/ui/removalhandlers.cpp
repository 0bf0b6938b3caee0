#include "app/ui/bexlorwindow.h"

#include "desktop/ui/shortcutwindow.h"
#include "package/ui/removecontroltwindow.h"

void BexlorWindow::removeControlFiles()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    showToolWindow(new removeControltWindow(workDir, QStringLiteral("DEBIAN")),
                   QStringLiteral("Удалить файл из каталога DEBIAN"), 200, 50, false);
}

// The shortcuts are the entries of the applications directory; nothing is
// created here, so a missing directory gives an empty list.
void BexlorWindow::removeShotcut()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    showToolWindow(new removeControltWindow(workDir, applicationsSubdirectory()), QStringLiteral("Удалить ярлыки"), 200,
                   50, false);
}
