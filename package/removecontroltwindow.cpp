#include "package/removecontroltwindow.h"

#include "common/dialogs.h"
#include "common/toolform.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const QString removeAllEntry = QStringLiteral("УДАЛИТЬ ВСЕ ФАЙЛЫ");
const QString removalTitle = QStringLiteral("Удаление файла");

QString reasonText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Removes everything inside the directory open as fd, links as links (their
// targets are never reached), and closes fd. Returns 0 or the errno of the
// first failure; entries that vanish meanwhile are no failure.
int removeContents(int fd, const QByteArray &path, QByteArray *failedPath)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (failedPath->isEmpty())
            *failedPath = path;
        ::close(fd);
        return error;
    }
    int firstError = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const QByteArray childPath = path + '/' + name;
        int error = 0;
        struct stat status;
        if (::fstatat(::dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        } else if (S_ISDIR(status.st_mode)) {
            const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            error = child < 0 ? errno : removeContents(child, childPath, failedPath);
            if (error == 0 && ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR) != 0)
                error = errno;
        } else if (::unlinkat(::dirfd(dir), name, 0) != 0) {
            error = errno;
        }
        if (error != 0 && error != ENOENT && firstError == 0) {
            firstError = error;
            if (failedPath->isEmpty())
                *failedPath = childPath;
        }
    }
    ::closedir(dir);
    return firstError;
}

} // namespace

removeControltWindow::removeControltWindow(const QString &workDir)
{
    delete_.setupUi(this);
    // The path is shown as typed, even where it looks like markup.
    delete_.labelWorkDir->setTextFormat(Qt::PlainText);
    delete_.labelWorkDir->setText(workDir);
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
    delete_.comboBox->addItems(directoryEntries(directory));
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
    if (name == removeAllEntry)
        removeDirectory(directory);
    else if (name.isEmpty())
        showError(QStringLiteral("Файлы для удаления не найдены!"));
    else
        removeSingle(directory, name);
}

void removeControltWindow::removeDirectory(const QString &directory)
{
    if (!Dialogs::instance().question(
            removalTitle,
            QStringLiteral("Будут удалены все файлы вместе с рабочим каталогом.\nДействительно это сделать?"))) {
        return;
    }
    // Without its trailing "/" the path names a link itself rather than the
    // directory it points to: a linked directory loses only the link.
    QByteArray path = QFile::encodeName(directory);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);

    int error = 0;
    QByteArray failedPath;
    struct stat status;
    if (::lstat(path.constData(), &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        error = fd < 0 ? errno : removeContents(fd, path, &failedPath);
        if (error == 0 && ::rmdir(path.constData()) != 0)
            error = errno;
    } else if (::unlink(path.constData()) != 0) {
        error = errno;
    }

    if (error == 0 || error == ENOENT) {
        if (error == 0)
            showDone(QStringLiteral("Катлалог и файлы удалены!"));
        else
            showError(QStringLiteral("Каталог или файлы не найдены"));
        relist();
        close();
        return;
    }
    if (failedPath.isEmpty())
        failedPath = path;
    showError(QStringLiteral("Не удалось удалить %1: %2").arg(QFile::decodeName(failedPath), reasonText(error)));
    relist();
}

void removeControltWindow::removeSingle(const QString &directory, const QString &name)
{
    const QByteArray path = QFile::encodeName(directory + name);
    struct stat status;
    if (::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
        showError(QStringLiteral("%1 - это каталог; удалить его можно только вместе со всеми файлами "
                                 "(«%2»)").arg(name, removeAllEntry));
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
        showError(QStringLiteral("Не удалось удалить файл %1: %2").arg(directory + name, reasonText(errno)));
    relist();
}
