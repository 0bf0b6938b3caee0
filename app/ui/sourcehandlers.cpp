#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "exebuild/buildtarget.h"
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
    ui->comboBoxArchitecture->addItems(targetArchitectures());
    listRuntimes();
}

void BexlorWindow::listRuntimes()
{
    BuildTarget target;
    ui->comboBoxSource->clear();
    if (buildTarget(ui->comboBoxArchitecture->currentText(), &target).success)
        ui->comboBoxSource->addItems(installedRuntimes(target.triplet));
}

QString BexlorWindow::chosenArchitecture() const
{
    // This machine's is no choice: a profile made here builds for the
    // machine it is used on.
    return ui->comboBoxArchitecture->currentIndex() > 0 ? ui->comboBoxArchitecture->currentText() : QString();
}

void BexlorWindow::showArchitecture(const QString &architecture)
{
    if (!architecture.isEmpty() && ui->comboBoxArchitecture->findText(architecture) < 0)
        ui->comboBoxArchitecture->addItem(architecture);
    ui->comboBoxArchitecture->setCurrentIndex(
        architecture.isEmpty() ? 0 : ui->comboBoxArchitecture->findText(architecture));
}
