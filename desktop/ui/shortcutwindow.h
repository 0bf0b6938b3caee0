#pragma once

#include "common/ui/toolform.h"
#include "desktop/shortcuts.h"
#include "ui_control.h"

#include <QString>
#include <QWidget>

class QTextEdit;
class UnsavedTextGuard;

// The editor of the .desktop files of one applications directory: a name for
// a new file, the list of entries found there and the text of the one shown.
class shortcutWindow : public QWidget, public FileEditorWidgets
{
    Q_OBJECT

public:
    // directory: the applications directory, without a trailing "/". Lists it
    // and loads its first entry; does not show the window.
    explicit shortcutWindow(const QString &directory);
    ~shortcutWindow() override;

    Ui::Form copyright;
    QTextEdit *textEditCopyright;

    // Empties the text area as an edit that Ctrl+Z undoes, asked for first
    // over unsaved changes; nothing on disk changes.
    void clean();
    // Writes the text under the typed name + ".desktop", or else over the
    // selected entry, then closes the window; a failure keeps it open.
    void saveShortcut();
    // Fills the text area, not the file, with a desktop entry for the
    // package's program, as an edit in the same way.
    void fillTemplate();
    // Fills the list with the directory's entries, unsorted.
    void searchFiles();
    // Shows the selected entry's text (empty for a directory or a missing file).
    void openFile();

private:
    // The directory every action works on, as the window shows it (ends in "/").
    QString folder() const;

    UnsavedTextGuard *m_guard = nullptr;
};
