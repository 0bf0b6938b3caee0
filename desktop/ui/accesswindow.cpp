#include "desktop/ui/accesswindow.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/editorfiles.h"
#include "common/ui/toolform.h"
#include "common/ui/unsavedtext.h"
#include "desktop/accessrights.h"
#include "ui_control.h"

#include <QFileInfo>
#include <QLabel>
#include <QTextEdit>

AccessWindow::AccessWindow(const QString &workDir)
    : control(std::make_unique<Ui::Form>())
{
    control->setupUi(this);
    labelFolder = addToolLabel(*control, QStringLiteral("labelFolder"), QStringLiteral("Рабочий каталог:"), 0,
                               QFormLayout::LabelRole);
    labelFolderValue = addToolLabel(*control, QStringLiteral("labelFolderValue"), workDir, 0, QFormLayout::FieldRole);
    textEditCopyright = addToolTextEdit(*control, QStringLiteral("textEditCopyright"), 1);
    control->updateMd5sum->hide();
    control->checkBox->hide();
    control->pushButtonTemplate->hide();

    connect(control->clean, &QAbstractButton::clicked, this, &AccessWindow::clean);
    connect(control->saveControl, &QAbstractButton::clicked, this, &AccessWindow::saveAccess);
    connect(control->closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    openFile();
    m_guard = new UnsavedTextGuard(this, textEditCopyright, [this] { saveAccess(); });
}

AccessWindow::~AccessWindow() = default;

QString AccessWindow::accessFile() const
{
    return accessRightsPath(packageName(labelFolderValue->text()));
}

void AccessWindow::openFile()
{
    textEditCopyright->clear();
    const QString workDir = labelFolderValue->text();
    const QString path = accessFile();
    const QFileInfo file(path);
    // Without a package name (the root directory) the path is the data
    // directory itself: there is no file to show.
    if (file.isDir())
        return;
    if (!file.exists()) {
        AccessList list;
        const Result listing = accessRightsListing(workDir, &list);
        if (listing.failed()) {
            showError(listing.message);
            return;
        }
        const QString note = leftOutNote(list);
        if (!note.isEmpty())
            showError(note);
        const Result written = saveAccessList(workDir, list);
        if (written.failed()) {
            showError(written.message);
            textEditCopyright->setPlainText(QString::fromUtf8(list.text));
            return;
        }
    }
    showProblems(loadIntoEditor(path, textEditCopyright));
}

void AccessWindow::saveAccess()
{
    const Result saved = saveEditor(accessFile(), textEditCopyright);
    if (saved.success)
        showDone(QStringLiteral("Изменения сохранены!"));
    else
        showError(saved.message);
}

void AccessWindow::clean()
{
    m_guard->replaceText(QString());
}
