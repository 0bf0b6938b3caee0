#pragma once

#include "ui_delete.h"

#include <QString>
#include <QWidget>

// Lists the entries of one directory below a work directory and deletes a
// single file or the whole directory, each after a confirmation. The
// directory's path, with a trailing "/", is kept in labelWorkDir.
class removeControltWindow : public QWidget
{
    Q_OBJECT

public:
    // Works on workDir + "/" + subdirectory + "/". Nothing is deleted through
    // a link on the way from workDir down to the entry.
    removeControltWindow(const QString &workDir, const QString &subdirectory);

    Ui::delForm delete_;

    // Appends the pseudo-entry and the entry names of the directory.
    void searchFiles();
    // Deletes what the list shows, after asking.
    void removeFile();

private:
    // The directory in labelWorkDir, or the empty text after telling the user.
    QString shownDirectory();
    void removeDirectory();
    void removeSingle(const QString &name, const QByteArray &bytes);
    void relist();

    QString m_workDir;
    QString m_subdirectory;
};
