#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QTextEdit;
class UnsavedTextGuard;
namespace Ui {
class Form;
}

// Editor of a package's access-rights file: generated from the current file
// modes of the work directory the first time, then shown as saved.
class AccessWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AccessWindow(const QString &workDir);
    ~AccessWindow() override;

    std::unique_ptr<Ui::Form> control;
    QLabel *labelFolder = nullptr;
    // The work directory this window was opened for; every action reads it here.
    QLabel *labelFolderValue = nullptr;
    QTextEdit *textEditCopyright = nullptr;

    // Shows the access-rights file, generating it first when it is missing.
    void openFile();
    void saveAccess();
    // Empties the editor as an edit that Ctrl+Z undoes, asked for first over
    // unsaved changes.
    void clean();

private:
    QString accessFile() const;

    UnsavedTextGuard *m_guard = nullptr;
};
