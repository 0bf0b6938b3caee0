#include "app/bexlorwindow.h"
#include "common/dialogs.h"
#include "package/debbuild.h"
#include "package/lint.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::buidDeb()
{
    const QString workDir = ui->lineEditProjectDir_2->text();
    const QString outputDir = ui->lineEditDebDir->text();
    Result result = buildPackage(workDir, outputDir);
    if (result.success && ui->checkBoxLint->isChecked())
        result.message += QStringLiteral("\n\n") + lintBuiltPackage(workDir, outputDir).message;
    showResult(result);
}
