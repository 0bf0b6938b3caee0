#pragma once

#include <QFormLayout>
#include <QString>
#include <QStringList>

class QFont;
class QLabel;
namespace Ui {
class Form;
}

// The bold "PT Morva Fact" font of the labels that tool windows add in code.
QFont toolLabelFont();

// Adds a label with that font to the editor form's scroll area, gives it its
// object name and text, and places it at row and role of the form layout.
QLabel *addToolLabel(Ui::Form &form, const QString &objectName, const QString &text, int row,
                     QFormLayout::ItemRole role);

// Entry names of a directory in the order the file system returns them:
// hidden entries, sub-directories and broken links included, "." and ".."
// left out. A missing or unreadable directory gives none.
QStringList directoryEntries(const QString &directory);
