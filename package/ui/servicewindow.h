#pragma once

#include "common/ui/toolform.h"
#include "ui_control.h"

#include <QString>
#include <QWidget>

class QTextEdit;
class UnsavedTextGuard;

// The editor of the systemd units of one work directory, in
// usr/lib/systemd/system: a name for a new unit, the units found there and
// the text of the one shown.
class serviceWindow : public QWidget, public FileEditorWidgets
{
    Q_OBJECT

public:
    // Lists the unit directory of workDir and loads its first entry; does
    // not show the window.
    explicit serviceWindow(const QString &workDir);

    Ui::Form unit;
    QTextEdit *textEditUnit;

    // Writes the text under the typed name + ".service", or else over the
    // selected entry, then shows what systemd-analyze verify finds in it.
    void saveUnit();
    // Fills the text area, not the file, with a unit for the package's
    // program, as an edit that Ctrl+Z undoes.
    void fillTemplate();
    void searchFiles();
    void openFile();

private:
    QString m_workDir;
    UnsavedTextGuard *m_guard = nullptr;
};
