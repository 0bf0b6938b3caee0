#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "common/ui/progressdialog.h"
#include "package/debbuild.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::buidDeb()
{
    const QString workDir = ui->lineEditProjectDir_2->text(), outputDir = ui->lineEditDebDir->text();
    const bool lint = ui->checkBoxLint->isChecked();
    showResult(runWithProgress(this, QStringLiteral("Сборка пакета"),
                               [workDir, outputDir, lint] { return buildPackage(workDir, outputDir, lint); }));
}
