#include "app/bexlorwindow.h"

#include "common/dialogs.h"
#include "desktop/iconset.h"

void BexlorWindow::createIcon()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    const QString picture = Dialogs::instance().openFileName(
        this, QStringLiteral("Выбрать изображение"), QString(),
        QStringLiteral("Image (*.png *.jpg *.svg)"));
    if (picture.isEmpty()) {
        showError(QStringLiteral("Изображение не выбрано!"));
        return;
    }
    const QString error = writeIconSet(workDir, picture);
    if (!error.isEmpty()) {
        showError(error);
        return;
    }
    showDone(QStringLiteral("Файлы иконон созданы"));
}

void BexlorWindow::removeImage()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    if (!Dialogs::instance().question(QStringLiteral("Удаление файла"),
                                      QStringLiteral("Удалить файлы иконок?")))
        return;
    const IconRemoval removal = removeIconsDirectory(workDir);
    switch (removal.outcome) {
    case IconRemoval::Removed:
        showDone(QStringLiteral("Файлы удалены"));
        break;
    case IconRemoval::NotFound:
        showError(QStringLiteral("Файлы для удаления не найдены!"));
        break;
    case IconRemoval::Failed:
        showError(removal.error);
        break;
    }
}
