#include "package/ui/removecontroltwindow.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "package/editor/removal.h"

#include <QFileInfo>

namespace {
const QString removalTitle = QStringLiteral("Удаление файла");
}

removeControltWindow::removeControltWindow(const QString &workDir, const QString &subdirectory)
    : m_workDir(workDir)
    , m_subdirectory(subdirectory)
{
    delete_.setupUi(this);
    // The path is shown as typed, even where it looks like markup.
    delete_.labelWorkDir->setTextFormat(Qt::PlainText);
    delete_.labelWorkDir->setText(workDir + QLatin1Char('/') + subdirectory + QLatin1Char('/'));
    connect(delete_.deleteFiles, &QAbstractButton::clicked, this, &removeControltWindow::removeFile);
    connect(delete_.closeWindow, &QAbstractButton::clicked, this, &QWidget::close);
    searchFiles();
}

QString removeControltWindow::shownDirectory()
{
    const QString directory = delete_.labelWorkDir->text();
    const Result given = requireWorkDirectory(directory);
    if (given.failed())
        showError(given.message);
    return directory;
}

void removeControltWindow::searchFiles()
{
    const QString directory = shownDirectory();
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return;
    delete_.comboBox->addItem(removeAllEntry());
    // Each entry keeps its name's bytes: one that is not UTF-8 is shown with
    // its stray bytes as \xNN and is still deleted by its real name.
    for (const EntryName &entry : directoryEntryNames(directory))
        delete_.comboBox->addItem(entry.text, entry.bytes);
}

void removeControltWindow::relist()
{
    delete_.comboBox->clear();
    searchFiles();
}

void removeControltWindow::removeFile()
{
    const QString directory = shownDirectory();
    if (directory.isEmpty())
        return;
    const QString name = delete_.comboBox->currentText();
    if (name == removeAllEntry())
        removeDirectory();
    else if (name.isEmpty())
        showError(QStringLiteral("Файлы для удаления не найдены!"));
    else
        removeSingle(name, delete_.comboBox->currentData().toByteArray());
}

void removeControltWindow::removeDirectory()
{
    const Result allowed = checkDirectoryRemoval(m_workDir, m_subdirectory);
    if (allowed.failed()) {
        showError(allowed.message);
        return;
    }
    if (!Dialogs::instance().question(
            removalTitle,
            QStringLiteral("Будут удалены все файлы вместе с рабочим каталогом.\nДействительно это сделать?")))
        return;
    const DirectoryRemoval removal = ::removeDirectory(m_workDir, m_subdirectory);
    showResult(removal.result);
    relist();
    if (removal.gone)
        close();
}

void removeControltWindow::removeSingle(const QString &name, const QByteArray &bytes)
{
    const Result allowed = checkEntryRemoval(m_workDir, m_subdirectory, bytes, name);
    if (allowed.failed()) {
        showError(allowed.message);
        relist();
        return;
    }
    if (!Dialogs::instance().question(removalTitle, QStringLiteral("Удалить файл ") + name + QLatin1Char('?')))
        return;
    showResult(removeEntry(m_workDir, m_subdirectory, bytes, name));
    relist();
}
