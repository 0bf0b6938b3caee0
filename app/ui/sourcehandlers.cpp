#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "exebuild/scriptnames.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::selectPy()
{
    const QString script = Dialogs::instance().openFileName(
        nullptr, QStringLiteral("Выбрать файл"), ui->lineEditProjectDir->text(), QStringLiteral("Файл (*.py)"));
    ui->lineEditPy->setText(script);
    ui->labelOutputC->setText(scriptNames(script).cFile);
}

void BexlorWindow::selectLib()
{
    ui->comboBoxSource->addItems(installedRuntimes());
}
