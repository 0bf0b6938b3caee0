#include "package/ui/editwindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/editorfiles.h"
#include "common/ui/progressdialog.h"
#include "common/ui/toolform.h"
#include "common/ui/unsavedtext.h"
#include "package/debianmeta.h"
#include "package/templates.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
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
    QStringList failures;
    for (const char *name : {"control", "preinst", "postinst", "prerm", "postrm"}) {
        // Only a missing file is created: an existing one is left as it is,
        // and opening a FIFO there would block.
        QFile file(workDir + QStringLiteral("/DEBIAN/") + QLatin1String(name));
        if (QFileInfo::exists(file.fileName()) || QFileInfo(file.fileName()).isSymLink())
            continue;
        if (!file.open(QIODevice::Append))
            failures << file.fileName() + QStringLiteral(": ") + file.errorString();
    }
    if (!failures.isEmpty())
        showError(QStringLiteral("Не удалось создать файлы:\n") + failures.join(QLatin1Char('\n')));
}

void editWindow::searchFiles()
{
    listEditorFiles(*this);
}

void editWindow::openFile()
{
    const QString name = comboBox->currentText();
    const bool checksums = name == md5sumsName;
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
    const QString text = name == QLatin1String("control")
                             ? controlTemplate(packageName(m_workDir), hostArchitecture(), userMaintainer())
                             : maintainerScriptTemplate(name);
    if (text.isEmpty()) {
        showError(QStringLiteral("Для файла «%1» шаблона нет: шаблоны есть для control, preinst, postinst, "
                                 "prerm, postrm и config")
                      .arg(name));
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
    const QString path = workDir + QStringLiteral("/DEBIAN/md5sums");
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
