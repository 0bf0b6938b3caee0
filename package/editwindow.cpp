#include "package/editwindow.h"

#include "common/dialogs.h"
#include "common/paths.h"
#include "common/editorfiles.h"
#include "common/textfiles.h"
#include "common/toolform.h"
#include "package/debianmeta.h"
#include "package/templates.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

namespace {
const QString md5sumsName = QStringLiteral("md5sums");
}

editWindow::editWindow(const QString &workDir)
    : m_workDir(workDir)
{
    control.setupUi(this);

    textEditControl = addFileEditorRows(control, *this, workDir + QStringLiteral("/DEBIAN/"),
                                        QStringLiteral("Введите имя файла:"),
                                        QStringLiteral("Найденные файлы в каталоге DEBIAN:"),
                                        QStringLiteral("textEditControl"));

    control.updateMd5sum->hide();
    control.checkBox->hide();

    connect(control.clean, &QAbstractButton::clicked, this, &editWindow::clean);
    connect(control.saveControl, &QAbstractButton::clicked, this, &editWindow::saveFiles);
    connect(control.pushButtonTemplate, &QAbstractButton::clicked, this, &editWindow::fillTemplate);
    connect(comboBox, QOverload<int>::of(&QComboBox::activated), this, &editWindow::openFile);
    connect(control.updateMd5sum, &QAbstractButton::clicked, this, [this] { updateMD5(m_workDir); });
    connect(control.closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    createStandardFiles(workDir);
    replaceInstallSize(workDir);
    searchFiles();
    openFile();
}

void editWindow::createStandardFiles(const QString &workDir)
{
    QStringList failures;
    for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm"}) {
        // Appending creates a missing file and leaves an existing one as it is.
        QFile file(workDir + QStringLiteral("/DEBIAN/") + QLatin1String(name));
        if (!file.open(QIODevice::Append))
            failures << file.fileName() + QStringLiteral(": ") + file.errorString();
    }
    if (!failures.isEmpty())
        showError(QStringLiteral("Не удалось создать файлы:\n") + failures.join(QLatin1Char('\n')));
}

void editWindow::searchFiles()
{
    comboBox->clear();
    comboBox->addItems(directoryEntries(labelFolderValue->text()));
}

void editWindow::openFile()
{
    const QString name = comboBox->currentText();
    const bool checksums = name == md5sumsName;
    control.updateMd5sum->setVisible(checksums);
    control.updateMd5sum->setEnabled(checksums);
    QString error;
    if (!loadIntoEditor(labelFolderValue->text() + name, textEditControl, &error))
        showError(error);
}

void editWindow::saveFiles()
{
    QString name = lineEditFileName->text();
    if (name.isEmpty())
        name = comboBox->currentText();
    if (name.isEmpty()) {
        showError(QStringLiteral("Необходимо указать имя файла"));
        return;
    }
    // A failed write keeps the editor's text so the user can try again.
    const Result written = saveEditor(labelFolderValue->text() + name, textEditControl);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    searchFiles();
    showDone(QStringLiteral("Изменения сохранены!"));
    openFile();
}

void editWindow::clean()
{
    textEditControl->clear();
}

void editWindow::fillTemplate()
{
    QString name = lineEditFileName->text();
    if (name.isEmpty())
        name = comboBox->currentText();
    const QString text = name == QLatin1String("control")
                             ? controlTemplate(packageName(m_workDir), hostArchitecture(), userMaintainer())
                             : maintainerScriptTemplate(name);
    if (text.isEmpty()) {
        showError(QStringLiteral("Для файла «%1» шаблона нет: шаблоны есть для control, preinst, postinst, "
                                 "prerm, postrm и config")
                      .arg(name));
        return;
    }
    textEditControl->setPlainText(text);
}

void editWindow::updateMD5(const QString &workDir)
{
    if (!Dialogs::instance().question(
            QStringLiteral("Обновление контрольных сумм"),
            QStringLiteral("Внимание!\nБудет выполнен перерасчет контрольных сумм.\n"
                           "Файл md5sums будет перезаписан. Вы согласны?"))) {
        return;
    }
    const QString debianDir = workDir + QStringLiteral("/DEBIAN");
    if (!QFileInfo(debianDir).isDir()) {
        showError(QStringLiteral("Файл md5sums не найден"));
        return;
    }

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ChecksumList list = checksumLines(workDir);
    QGuiApplication::restoreOverrideCursor();

    const QString path = debianDir + QStringLiteral("/md5sums");
    const Result written = writeFileAtomically(path, list.content);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    QString loadError;
    if (!loadIntoEditor(path, textEditControl, &loadError))
        showError(loadError);
    if (!list.unlistable.isEmpty()) {
        showError(QStringLiteral("Имена этих файлов содержат перевод строки, в md5sums их "
                                 "записать нельзя:\n")
                  + list.unlistable.join(QLatin1Char('\n')));
    }
    if (!list.unreadable.isEmpty()) {
        showError(QStringLiteral("Эти файлы не удалось прочитать, в md5sums их нет:\n")
                  + list.unreadable.join(QLatin1Char('\n')));
    }
}

void editWindow::replaceInstallSize(const QString &workDir)
{
    const QString path = workDir + QStringLiteral("/DEBIAN/control");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showError(QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
        return;
    }
    const QByteArray text = file.readAll();
    file.close();
    // Without a size line, or with the size already right, nothing is written.
    if (!hasInstalledSizeLine(text))
        return;
    const QByteArray updated = withInstalledSize(text, folderSize(workDir));
    if (updated == text)
        return;
    const Result written = writeFileAtomically(path, updated);
    if (written.failed())
        showError(written.message);
}

qint64 editWindow::folderSize(const QString &workDir)
{
    return installedSizeKiB(workDir);
}
