#pragma once

#include "ui_delete.h"

#include <QString>
#include <QWidget>

// Lists the entries of one directory and deletes a single file or the whole
// directory, each after a confirmation. Works on any directory path given
// with a trailing "/"; the path is kept in labelWorkDir.
class removeControltWindow : public QWidget
{
    Q_OBJECT

public:
    explicit removeControltWindow(const QString &workDir);

    Ui::delForm delete_;

    // Appends the pseudo-entry and the entry names of the directory.
    void searchFiles();
    // Deletes what the list shows, after asking.
    void removeFile();

private:
    // The directory in labelWorkDir, or the empty text after telling the user.
    QString shownDirectory();
    void removeDirectory(const QString &directory);
    void removeSingle(const QString &directory, const QString &name);
    void relist();
};
