#include "app/ui/bexlorwindow.h"

#include "app/profilestore.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "exebuild/scriptnames.h"
#include "package/debbuild/lint.h"
#include "ui_bexlorBuilderGui.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QLayout>
#include <QSettings>

BexlorWindow::BexlorWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);

    const auto wire = [this](QAbstractButton *button, void (BexlorWindow::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    wire(ui->BrowseProjectDir, &BexlorWindow::selectProjectDir);
    wire(ui->browsePy, &BexlorWindow::selectPy);
    wire(ui->pushButtonBuild, &BexlorWindow::build);
    wire(ui->pushButtonClean, &BexlorWindow::cleanLines);
    wire(ui->browseBinaryDir, &BexlorWindow::selectBinaryDir);
    wire(ui->pushButtonEditControlFile, &BexlorWindow::editFiles);
    wire(ui->BrowseProjectDir_2, &BexlorWindow::selectProjectDir_2);
    wire(ui->pushButtonDelControlFile, &BexlorWindow::removeControlFiles);
    wire(ui->pushButtonDelShortcut, &BexlorWindow::removeShotcut);
    wire(ui->pushButtonShortcut, &BexlorWindow::createShortcut);
    wire(ui->pushButtonIcon, &BexlorWindow::createIcon);
    wire(ui->pushButtonDelIcon, &BexlorWindow::removeImage);
    wire(ui->BrowseDebDir, &BexlorWindow::selectDebDir);
    wire(ui->pushButtonBuild_2, &BexlorWindow::buidDeb);
    wire(ui->pushButtonClean_2, &BexlorWindow::cleanLines_2);
    wire(ui->pbSaveProject, &BexlorWindow::saveProject);
    wire(ui->pbDelProject, &BexlorWindow::deleteProject);
    wire(ui->pbLoadProject, &BexlorWindow::loadProject);
    wire(ui->pushButtonAccess, &BexlorWindow::editAccess);
    wire(ui->pushButtonDelAccess, &BexlorWindow::delAccess);
    wire(ui->pushButtonDocs, &BexlorWindow::createDocs);
    wire(ui->BrowseRepoDir, &BexlorWindow::selectRepoDir);
    wire(ui->pushButtonService, &BexlorWindow::createService);
    connect(ui->pushButtonClose_2, &QAbstractButton::clicked, this, &QWidget::close);
    connect(ui->comboBoxCompression, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &BexlorWindow::selectCompression);
    connect(ui->pushButtonClose, &QAbstractButton::clicked, this, &QWidget::close);

    ui->checkBoxLint->setChecked(lintianInstalled());
    ui->comboBoxCompression->addItems(compressionNames());
    selectLib();
    connect(ui->comboBoxArchitecture, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &BexlorWindow::listRuntimes);
    listProjectNames();
}

BexlorWindow::~BexlorWindow() = default;

void BexlorWindow::showCentred()
{
    ensurePolished();
    // Activating the layouts sets the minimum size they need, the tab pages' first, and grows the window to it now
    // rather than after the move.
    for (QWidget *page : {ui->tabExecutable, ui->tabPackage})
        page->layout()->activate();
    layout()->activate();
    move(centredPosition(QApplication::desktop()->size(), size()));
    show();
}

namespace {
const QString chooseDirectoryCaption = QStringLiteral("Выбрать каталог");
}

void BexlorWindow::selectProjectDir()
{
    ui->lineEditProjectDir->setText(Dialogs::instance().existingDirectory(this, chooseDirectoryCaption));
}

void BexlorWindow::selectProjectDir_2()
{
    ui->lineEditProjectDir_2->setText(Dialogs::instance().existingDirectory(nullptr, chooseDirectoryCaption));
}

void BexlorWindow::selectDebDir()
{
    ui->lineEditDebDir->setText(Dialogs::instance().existingDirectory(nullptr, chooseDirectoryCaption));
}

void BexlorWindow::selectRepoDir()
{
    ui->lineEditRepoDir->setText(Dialogs::instance().existingDirectory(nullptr, chooseDirectoryCaption));
}

void BexlorWindow::selectBinaryDir()
{
    ui->lineEditBinaryDir->setText(Dialogs::instance().existingDirectory(nullptr, chooseDirectoryCaption));
    ui->lineEditBinary->setText(binaryNameFor(ui->lineEditPy->text()));
}

void BexlorWindow::cleanLines()
{
    ui->lineEditProjectDir->clear();
    ui->lineEditPy->clear();
    ui->labelOutputC->clear();
    ui->lineEditBinary->clear();
    ui->lineEditBinaryDir->clear();
    ui->lineEditInclude->clear();
    ui->lineEditExclude->clear();
}

void BexlorWindow::cleanLines_2()
{
    ui->lineEditProjectDir_2->clear();
    ui->lineEditDebDir->clear();
}

void BexlorWindow::listProjectNames()
{
    ui->comboBoxProjects->clear();
    ui->comboBoxProjects->addItems(profileNames());
}

QString BexlorWindow::requireWorkDir()
{
    const QString workDir = ui->lineEditProjectDir_2->text();
    const Result chosen = requireWorkDirectory(workDir);
    if (chosen.failed())
        showError(chosen.message);
    return workDir;
}

void BexlorWindow::showToolWindow(QWidget *window, const QString &title, int dx, int dy, bool sizeLimits)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    newWindow = window;
    if (sizeLimits) {
        // Small enough for an 800x600 screen, where the form's own size fits too.
        window->setMinimumSize(640, 400);
        window->setMaximumSize(7680, 4320);
    }
    window->setWindowTitle(title);
    // Placed at the size it is shown with: its layout, with the lists it has
    // filled, sets its minimum size and grows it now, not after the move.
    window->ensurePolished();
    if (QLayout *layout = window->layout())
        layout->activate();
    // The tool window gets a frame like this window's.
    const QSize frame = frameGeometry().size() - size();
    window->move(toolWindowPosition(QApplication::desktop()->size(), size(), window->size() + frame, dx, dy));
    window->show();
}
