#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "common/ui/progressdialog.h"
#include "exebuild/exebuild.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::build()
{
    ExecutableBuild fields;
    fields.runtime = ui->comboBoxSource->currentText();
    fields.architecture = chosenArchitecture();
    fields.projectDir = ui->lineEditProjectDir->text();
    fields.script = ui->lineEditPy->text();
    fields.binaryDir = ui->lineEditBinaryDir->text();
    fields.binaryName = ui->lineEditBinary->text();
    fields.bytecode = ui->checkBoxBytecode->isChecked();
    fields.optimisation = ui->comboBoxOptimise->currentIndex() == 1 ? Optimisation::Speed : Optimisation::Size;
    fields.include = ui->lineEditInclude->text();
    fields.exclude = ui->lineEditExclude->text();
    fields.checkReproducible = ui->checkBoxReproducibleExe->isChecked();
    showResult(runWithProgress(this, QStringLiteral("Сборка исполняемого файла"),
                               [fields] { return buildExecutable(fields); }));
}
