#include "app/bexlorwindow.h"
#include "common/dialogs.h"
#include "common/progressdialog.h"
#include "package/debbuild.h"
#include "package/lint.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::buidDeb()
{
    const QString workDir = ui->lineEditProjectDir_2->text(), outputDir = ui->lineEditDebDir->text();
    const bool lint = ui->checkBoxLint->isChecked();
    showResult(runWithProgress(this, QStringLiteral("Сборка пакета"), [workDir, outputDir, lint] {
        Result result = buildPackage(workDir, outputDir);
        if (result.success && lint) {
            const Result checked = lintBuiltPackage(workDir, outputDir);
            result.message += QStringLiteral("\n\n") + checked.message;
            result.details = checked.details;
        }
        return result;
    }));
}
