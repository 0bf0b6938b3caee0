#pragma once

#include "common/ui/toolform.h"
#include "ui_control.h"

#include <QString>
#include <QWidget>

class QTextEdit;
class UnsavedTextGuard;

// Editor for the files of the DEBIAN directory of one work directory: lists
// them, loads one into a plain text editor, saves the text under the listed or
// a typed name, and refreshes md5sums and the installed size of control.
class editWindow : public QWidget, public FileEditorWidgets
{
    Q_OBJECT

public:
    // Makes sure the five standard files exist, brings Installed-Size up to
    // date and shows the first listed file. Does not show itself.
    explicit editWindow(const QString &workDir);

    Ui::Form control;
    QTextEdit *textEditControl;

    void searchFiles();
    void openFile();
    void saveFiles();
    // Empties the editor as an edit that Ctrl+Z undoes, asked for first over
    // unsaved changes.
    void clean();
    // Fills the editor, not the file, with the template for the typed or
    // selected file, as an edit in the same way.
    void fillTemplate();

    // Rewrites DEBIAN/md5sums from the files of workDir after asking.
    void updateMD5(const QString &workDir);
    // Rewrites the Installed-Size lines of DEBIAN/control (the size itself is
    // the core's installedSizeKiB, shared with the command line).
    void replaceInstallSize(const QString &workDir);

private:
    void createStandardFiles(const QString &workDir);

    QString m_workDir;
    UnsavedTextGuard *m_guard = nullptr;
};
