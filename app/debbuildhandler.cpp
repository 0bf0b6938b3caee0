#include "app/bexlorwindow.h"
#include "common/dialogs.h"
#include "package/debbuild.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::buidDeb()
{
    showResult(buildPackage(ui->lineEditProjectDir_2->text(), ui->lineEditDebDir->text()));
}
