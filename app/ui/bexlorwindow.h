#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace Ui {
class MainWindow;
}
struct Compression;

// The main window: the project fields of both tabs, the profile controls and
// one handler per button. The fields are the only project state in memory;
// each handler reads them when its button is pressed.
class BexlorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit BexlorWindow(QWidget *parent = nullptr);
    ~BexlorWindow() override;

    std::unique_ptr<Ui::MainWindow> ui;
    // The tool window opened last; earlier ones stay open on their own.
    QPointer<QWidget> newWindow;

    // Shows the window centred on the desktop at the size it is shown with:
    // the layout is settled first, since it may grow the form.
    void showCentred();

    // Pickers and clearing (main window).
    void selectProjectDir();
    void selectProjectDir_2();
    void selectDebDir();
    void selectRepoDir();
    void selectBinaryDir();
    void cleanLines();
    void cleanLines_2();
    void listProjectNames();

    // Script and runtime selection, executable build.
    void selectPy();
    void selectLib();
    void listRuntimes(); // those of the chosen architecture
    QString chosenArchitecture() const;
    void showArchitecture(const QString &architecture);
    void build();

    // Package build and the DEBIAN tools.
    void buidDeb();
    void selectCompression();
    void editFiles();
    void removeControlFiles();
    void createDocs();
    void createService();

    // Desktop integration.
    void createShortcut();
    void removeShotcut();
    void createIcon();
    void removeImage();
    void editAccess();
    void delAccess();

    // Project profiles.
    void saveProject();
    void loadProject();
    void deleteProject();

private:
    // The compression chosen in the package tab, and showing one there.
    Compression chosenCompression() const;
    void showCompression(const Compression &compression);
    // Offers to add the blocks of the maintainer scripts for the units of
    // workDir they do not handle; false when adding them failed.
    bool offerServiceScripts(const QString &workDir);
    // The work directory field, or the empty text after telling the user
    // to choose one.
    QString requireWorkDir();
    // Shows a tool window the way every tool window opens: title, optional
    // size limits, placed relative to the desktop and this window's size,
    // non-modal; remembered in newWindow and deleted when closed.
    void showToolWindow(QWidget *window, const QString &title, int dx, int dy, bool sizeLimits);
};
