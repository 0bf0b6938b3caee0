#include "app/ui/bexlorwindow.h"

#include "common/ui/dialogs.h"
#include "common/ui/progressdialog.h"
#include "desktop/iconset.h"

void BexlorWindow::createIcon()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    const QString picture = Dialogs::instance().openFileName(this, QStringLiteral("Выбрать изображение"), QString(),
                                                             QStringLiteral("Изображения (*.png *.jpg *.jpeg *.svg)"));
    // A refusal needs no progress window.
    const auto work = [workDir, picture] { return writeIconSet(workDir, picture); };
    showResult(picture.isEmpty() ? work() : runWithProgress(this, QStringLiteral("Создание иконок"), work));
}

void BexlorWindow::removeImage()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    if (!Dialogs::instance().question(QStringLiteral("Удаление файла"), QStringLiteral("Удалить файлы иконок?")))
        return;
    showResult(removeIconsDirectory(workDir));
}
