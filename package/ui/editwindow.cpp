#include "package/ui/editwindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/editorfiles.h"
#include "common/ui/progressdialog.h"
#include "common/ui/toolform.h"
#include "common/ui/unsavedtext.h"
#include "package/control/checksums.h"
#include "package/control/installedsize.h"
#include "package/editor/debianeditor.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

editWindow::editWindow(const QString &workDir)
    : m_workDir(workDir)
{
    control.setupUi(this);

    textEditControl = addFileEditorRows(
        control, *this, workDir + QStringLiteral("/DEBIAN/"), QStringLiteral("Введите имя файла:"),
        QStringLiteral("Найденные файлы в каталоге DEBIAN:"), QStringLiteral("textEditControl"));

    control.updateMd5sum->hide();
    control.checkBox->hide();

    connect(control.clean, &QAbstractButton::clicked, this, &editWindow::clean);
    connect(control.saveControl, &QAbstractButton::clicked, this, &editWindow::saveFiles);
    connect(control.pushButtonTemplate, &QAbstractButton::clicked, this, &editWindow::fillTemplate);
    connect(control.updateMd5sum, &QAbstractButton::clicked, this, [this] { updateMD5(m_workDir); });
    connect(control.closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    createStandardFiles(workDir);
    replaceInstallSize(workDir);
    searchFiles();
    openFile();
    m_guard = new UnsavedTextGuard(this, textEditControl, [this] { saveFiles(); });
    m_guard->guardList(comboBox, [this] { openFile(); });
}

void editWindow::createStandardFiles(const QString &workDir)
{
    const Result created = ::createStandardFiles(workDir);
    if (created.failed())
        showError(created.message);
}

void editWindow::searchFiles()
{
    listEditorFiles(*this);
}

void editWindow::openFile()
{
    const QString name = comboBox->currentText();
    const bool checksums = offersChecksums(name);
    control.updateMd5sum->setVisible(checksums);
    control.updateMd5sum->setEnabled(checksums);
    showProblems(loadIntoEditor(labelFolderValue->text() + name, textEditControl));
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
    // The typed name goes and the saved file is the one shown, so that the
    // next save cannot write this text over another file under that name.
    lineEditFileName->clear();
    searchFiles();
    comboBox->setCurrentIndex(qMax(0, comboBox->findText(name)));
    showDone(QStringLiteral("Изменения сохранены!"));
    openFile();
}

void editWindow::clean()
{
    m_guard->replaceText(QString());
}

void editWindow::fillTemplate()
{
    QString name = lineEditFileName->text();
    if (name.isEmpty())
        name = comboBox->currentText();
    QString text;
    const Result offered = debianFileTemplate(name, m_workDir, &text);
    if (offered.failed()) {
        showError(offered.message);
        return;
    }
    m_guard->replaceText(text);
}

void editWindow::updateMD5(const QString &workDir)
{
    if (!Dialogs::instance().question(QStringLiteral("Обновление контрольных сумм"),
                                      QStringLiteral("Внимание!\nБудет выполнен перерасчет контрольных сумм.\n"
                                                     "Файл md5sums будет перезаписан. Вы согласны?"))) {
        return;
    }
    const Result written = runWithProgress(this, QStringLiteral("Расчёт контрольных сумм"),
                                           [workDir] { return writeChecksums(workDir); });

    // The editor shows the file as it now stands, also when some files could not be listed in it.
    const QString path = md5sumsPath(workDir);
    if (QFileInfo(path).isFile())
        showProblems(loadIntoEditor(path, textEditControl));
    if (written.failed())
        showError(written.message);
}

void editWindow::replaceInstallSize(const QString &workDir)
{
    const Result refreshed = refreshInstalledSize(workDir);
    if (refreshed.failed())
        showError(refreshed.message);
}
