#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "common/ui/progressdialog.h"
#include "package/debbuild/compression.h"
#include "package/debbuild/debbuild.h"
#include "package/repo/repository.h"
#include "ui_bexlorBuilderGui.h"

void BexlorWindow::buidDeb()
{
    const QString workDir = ui->lineEditProjectDir_2->text(), outputDir = ui->lineEditDebDir->text();
    const bool lint = ui->checkBoxLint->isChecked(), reproducible = ui->checkBoxReproducible->isChecked();
    const Compression compression = chosenCompression();
    RepositoryRequest publication;
    publication.layout.directory = ui->lineEditRepoDir->text();
    publication.signing.key = ui->lineEditSigningKey->text();
    const bool publishing = ui->checkBoxRepo->isChecked();
    const Result repository = publishing ? checkLayout(publication.layout) : Result::done();
    if (repository.failed()) {
        showError(repository.message);
        return;
    }
    // Without an output directory the build stops at once: nothing to offer then.
    if (!outputDir.isEmpty() && !offerServiceScripts(workDir))
        return;
    QString package;
    Result built = runWithProgress(
        this, QStringLiteral("Сборка пакета"), [workDir, outputDir, lint, compression, reproducible, &package] {
            return buildPackage(workDir, outputDir, lint, compression, reproducible, &package);
        });
    // A package lintian found errors in is not handed to users.
    if (publishing && built.success && !built.checkFailed) {
        publication.packages = QStringList{package};
        QString sources;
        const Result published = runWithProgress(
            this, QStringLiteral("Публикация в репозитории"),
            [publication, &sources] { return publishRepository(publication, &sources); });
        built = withPublication(built, published, sources);
    }
    showResult(built);
}

// The level box offers the compressor's own levels; its lowest value, shown
// as "по умолчанию", leaves the level to dpkg-deb.
void BexlorWindow::selectCompression()
{
    const LevelRange levels = compressionLevels(ui->comboBoxCompression->currentText());
    const bool levelled = levels.lowest <= levels.highest;
    ui->spinBoxLevel->setRange(levels.lowest - 1, levelled ? levels.highest : levels.lowest - 1);
    ui->spinBoxLevel->setValue(ui->spinBoxLevel->minimum());
    ui->spinBoxLevel->setEnabled(levelled);
}

Compression BexlorWindow::chosenCompression() const
{
    Compression compression;
    compression.name = ui->comboBoxCompression->currentText();
    const QSpinBox *level = ui->spinBoxLevel;
    compression.level = level->value() == level->minimum() ? -1 : level->value();
    return compression;
}

void BexlorWindow::showCompression(const Compression &compression)
{
    ui->comboBoxCompression->setCurrentIndex(qMax(0, ui->comboBoxCompression->findText(compression.name)));
    selectCompression();
    if (compression.level >= 0)
        ui->spinBoxLevel->setValue(compression.level);
}
