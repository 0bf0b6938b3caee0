#pragma once

#include <QFormLayout>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
namespace Ui {
class Form;
}

// Adds a label in the tool windows' bold "PT Morva Fact" font to the editor
// form's scroll area, gives it its object name and text (shown as plain text:
// paths may look like markup), and places it at row and role of the layout.
QLabel *addToolLabel(Ui::Form &form, const QString &objectName, const QString &text, int row,
                     QFormLayout::ItemRole role);

// Adds the editor's text area at row, spanning both columns; it takes pasted
// text as plain text, since it edits files, never formatted documents.
QTextEdit *addToolTextEdit(Ui::Form &form, const QString &objectName, int row);

// The widgets of a file editor besides its text area: the directory it works
// on, a name for a new file and the entries found there.
struct FileEditorWidgets
{
    QLabel *labelFolder = nullptr;
    QLabel *labelFolderValue = nullptr;
    QLabel *labelFileName = nullptr;
    QLineEdit *lineEditFileName = nullptr;
    QLabel *labelFiles = nullptr;
    QComboBox *comboBox = nullptr;
};

// Fills the editor's list with the entries of its folder, unsorted. Names
// that are not UTF-8 cannot be opened faithfully here: they are left out of
// the list and named in an error box instead.
void listEditorFiles(FileEditorWidgets &widgets);

// Adds the rows of a file editor to the form, filling widgets, and returns
// the text area below them.
QTextEdit *addFileEditorRows(Ui::Form &form, FileEditorWidgets &widgets, const QString &folder,
                             const QString &fileNameCaption, const QString &filesCaption, const QString &textEditName);
