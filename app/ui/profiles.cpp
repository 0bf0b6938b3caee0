#include "app/profilestore.h"
#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "exebuild/modulebuild.h"
#include "package/debbuild/compression.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::saveProject()
{
    const QString name = ui->lineEditBinary->text();
    if (name.isEmpty()) {
        showError(QStringLiteral("Необходимо ввести имя бинарного файла"));
        return;
    }
    Profile profile;
    profile.projectDir = ui->lineEditProjectDir->text();
    profile.py = ui->lineEditPy->text();
    profile.outputC = ui->labelOutputC->text();
    profile.binaryDir = ui->lineEditBinaryDir->text();
    profile.binary = name;
    profile.source = ui->comboBoxSource->currentIndex();
    profile.architecture = chosenArchitecture();
    profile.projectDirDeb = ui->lineEditProjectDir_2->text();
    profile.debDir = ui->lineEditDebDir->text();
    profile.lint = ui->checkBoxLint->isChecked();
    profile.checkReproducible = ui->checkBoxReproducible->isChecked();
    profile.checkReproducibleExe = ui->checkBoxReproducibleExe->isChecked();
    profile.bytecode = ui->checkBoxBytecode->isChecked();
    profile.optimise = optimisationName(ui->comboBoxOptimise->currentIndex() == 1 ? Optimisation::Speed
                                                                                  : Optimisation::Size);
    profile.include = ui->lineEditInclude->text();
    profile.exclude = ui->lineEditExclude->text();
    const Compression compression = chosenCompression();
    profile.compression = compression.name;
    profile.compressionLevel = compression.level;
    profile.repoDir = ui->lineEditRepoDir->text();
    profile.repo = ui->checkBoxRepo->isChecked();
    profile.signingKey = ui->lineEditSigningKey->text();
    const Result saved = saveProfile(name, profile);
    if (saved.success)
        listProjectNames();
    showResult(saved);
}

void BexlorWindow::loadProject()
{
    const Profile profile = loadProfile(ui->comboBoxProjects->currentText());
    ui->lineEditProjectDir->setText(profile.projectDir);
    ui->lineEditPy->setText(profile.py);
    ui->labelOutputC->setText(profile.outputC);
    ui->lineEditBinaryDir->setText(profile.binaryDir);
    ui->lineEditBinary->setText(profile.binary);
    ui->lineEditProjectDir_2->setText(profile.projectDirDeb);
    ui->lineEditDebDir->setText(profile.debDir);
    ui->checkBoxLint->setChecked(profile.lint);
    ui->checkBoxReproducible->setChecked(profile.checkReproducible);
    ui->checkBoxReproducibleExe->setChecked(profile.checkReproducibleExe);
    ui->checkBoxBytecode->setChecked(profile.bytecode);
    ui->comboBoxOptimise->setCurrentIndex(profile.optimise == optimisationName(Optimisation::Speed) ? 1 : 0);
    ui->lineEditInclude->setText(profile.include);
    ui->lineEditExclude->setText(profile.exclude);
    showCompression({profile.compression, profile.compressionLevel});
    ui->lineEditRepoDir->setText(profile.repoDir);
    ui->checkBoxRepo->setChecked(profile.repo);
    ui->lineEditSigningKey->setText(profile.signingKey);
    showArchitecture(profile.architecture);
    ui->comboBoxSource->setCurrentIndex(profile.source);
}

void BexlorWindow::deleteProject()
{
    const QString name = ui->comboBoxProjects->currentText();
    const bool confirmed = Dialogs::instance().question(QStringLiteral("Удаление настроек"),
                                                        QStringLiteral("Будут удалены настройки ") + name
                                                            + QStringLiteral(".\nДействительно это сделать?"));
    if (!confirmed)
        return;
    const Result removed = removeProfile(name);
    if (removed.failed()) {
        showError(removed.message);
        return;
    }
    listProjectNames();
}
