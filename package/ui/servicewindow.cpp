#include "package/ui/servicewindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/editorfiles.h"
#include "common/ui/toolform.h"
#include "common/ui/unsavedtext.h"
#include "package/docs/services.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

serviceWindow::serviceWindow(const QString &workDir)
    : m_workDir(workDir)
{
    unit.setupUi(this);
    textEditUnit = addFileEditorRows(unit, *this,
                                     workDir + QLatin1Char('/') + serviceUnitSubdirectory() + QLatin1Char('/'),
                                     QStringLiteral("Имя службы без расширения .service:"),
                                     QStringLiteral("Найденные файлы служб systemd:"), QStringLiteral("textEditUnit"));
    unit.updateMd5sum->hide();
    unit.checkBox->hide();

    connect(unit.clean, &QAbstractButton::clicked, this, [this] { m_guard->replaceText(QString()); });
    connect(unit.saveControl, &QAbstractButton::clicked, this, &serviceWindow::saveUnit);
    connect(unit.pushButtonTemplate, &QAbstractButton::clicked, this, &serviceWindow::fillTemplate);
    connect(unit.closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    searchFiles();
    openFile();
    m_guard = new UnsavedTextGuard(this, textEditUnit, [this] { saveUnit(); });
    m_guard->guardList(comboBox, [this] { openFile(); });
}

void serviceWindow::saveUnit()
{
    const QString target = serviceUnitPath(labelFolderValue->text(), lineEditFileName->text(), comboBox->currentText());
    if (target.isEmpty()) {
        showError(QStringLiteral("Необходимо указать имя файла"));
        return;
    }
    const Result written = saveEditor(target, textEditUnit);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    lineEditFileName->clear();
    searchFiles();
    comboBox->setCurrentIndex(qMax(0, comboBox->findText(lastComponent(target))));
    const Result verified = verifyServiceUnit(m_workDir, lastComponent(target));
    if (verified.failed())
        showError(QStringLiteral("Изменения сохранены, но ") + verified.message);
    else
        showDone(QStringLiteral("Изменения сохранены!"));
}

void serviceWindow::fillTemplate()
{
    m_guard->replaceText(serviceUnitTemplate(packageName(m_workDir)));
}

void serviceWindow::searchFiles()
{
    listEditorFiles(*this);
}

void serviceWindow::openFile()
{
    showProblems(loadIntoEditor(labelFolderValue->text() + comboBox->currentText(), textEditUnit));
}
