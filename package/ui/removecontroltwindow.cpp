#include "package/ui/removecontroltwindow.h"

#include "common/filetree.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/toolform.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const QString removeAllEntry = QStringLiteral("УДАЛИТЬ ВСЕ ФАЙЛЫ");
const QString removalTitle = QStringLiteral("Удаление файла");

} // namespace

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
    if (directory.isEmpty())
        showError(QStringLiteral("Необходимо выбрать каталог"));
    return directory;
}

void removeControltWindow::searchFiles()
{
    const QString directory = shownDirectory();
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return;
    delete_.comboBox->addItem(removeAllEntry);
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

bool removeControltWindow::crossesLink(const QString &relative)
{
    const Result linked = refuseLinksBelow(m_workDir, relative);
    if (linked.failed())
        showError(linked.message);
    return linked.failed();
}

void removeControltWindow::removeFile()
{
    const QString directory = shownDirectory();
    if (directory.isEmpty())
        return;
    const QString name = delete_.comboBox->currentText();
    if (name == removeAllEntry)
        removeDirectory(directory);
    else if (name.isEmpty())
        showError(QStringLiteral("Файлы для удаления не найдены!"));
    else
        removeSingle(directory, name);
}

void removeControltWindow::removeDirectory(const QString &directory)
{
    // The directory itself may be a link: then only the link goes.
    if (crossesLink(m_subdirectory.section(QLatin1Char('/'), 0, -2)))
        return;
    if (!Dialogs::instance().question(
            removalTitle,
            QStringLiteral("Будут удалены все файлы вместе с рабочим каталогом.\nДействительно это сделать?"))) {
        return;
    }
    // Without its trailing "/" the path names a link itself rather than the
    // directory it points to: a linked directory loses only the link.
    QString path = directory;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        showError(QStringLiteral("Каталог или файлы не найдены"));
        relist();
        close();
        return;
    }
    const Result removed = removeTree(path);
    if (removed.failed()) {
        showError(removed.message);
        relist();
        return;
    }
    showDone(QStringLiteral("Катлалог и файлы удалены!"));
    relist();
    close();
}

void removeControltWindow::removeSingle(const QString &directory, const QString &name)
{
    if (crossesLink(m_subdirectory))
        return;
    const QByteArray path = QFile::encodeName(directory) + delete_.comboBox->currentData().toByteArray();
    struct stat status;
    if (::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
        showError(QStringLiteral("%1 - это каталог; удалить его можно только вместе со всеми файлами "
                                 "(«%2»)")
                      .arg(name, removeAllEntry));
        relist();
        return;
    }
    if (!Dialogs::instance().question(removalTitle, QStringLiteral("Удалить файл ") + name + QLatin1Char('?')))
        return;

    if (::unlink(path.constData()) == 0)
        showDone(QStringLiteral("Файл ") + name + QStringLiteral(" удален!"));
    else if (errno == ENOENT)
        showError(QStringLiteral("Файл ") + name + QStringLiteral(" не найден"));
    else
        showError(QStringLiteral("Не удалось удалить файл %1: %2").arg(directory + name, systemError(errno)));
    relist();
}
