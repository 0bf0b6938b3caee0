#include "desktop/ui/shortcutwindow.h"

#include "common/filesystem.h"
#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "common/ui/editorfiles.h"
#include "common/ui/toolform.h"
#include "common/ui/unsavedtext.h"
#include "desktop/shortcuts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

shortcutWindow::shortcutWindow(const QString &directory)
    : QWidget(nullptr)
{
    copyright.setupUi(this);
    textEditCopyright = addFileEditorRows(
        copyright, *this, directory + QLatin1Char('/'), QStringLiteral("Имя файла ярлыка без расширения .desktop:"),
        QStringLiteral("Найденные файлы ярлыков (.desktop):"), QStringLiteral("textEditCopyright"));

    copyright.updateMd5sum->hide();
    copyright.checkBox->hide();

    connect(copyright.clean, &QAbstractButton::clicked, this, &shortcutWindow::clean);
    connect(copyright.saveControl, &QAbstractButton::clicked, this, &shortcutWindow::saveShortcut);
    connect(copyright.pushButtonTemplate, &QAbstractButton::clicked, this, &shortcutWindow::fillTemplate);
    connect(copyright.closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    searchFiles();
    openFile();
    m_guard = new UnsavedTextGuard(this, textEditCopyright, [this] { saveShortcut(); });
    m_guard->guardList(comboBox, [this] { openFile(); });
}

shortcutWindow::~shortcutWindow() = default;

QString shortcutWindow::folder() const
{
    return labelFolderValue->text();
}

void shortcutWindow::clean()
{
    m_guard->replaceText(QString());
}

void shortcutWindow::saveShortcut()
{
    const QString target = shortcutPath(folder(), lineEditFileName->text(), comboBox->currentText());
    if (target.isEmpty()) {
        showError(QStringLiteral("Необходимо указать имя файла"));
        return;
    }
    const Result written = saveEditor(target, textEditCopyright);
    if (written.failed()) {
        showError(written.message);
        return;
    }
    showDone(QStringLiteral("Изменения сохранены!"));
    close();
}

void shortcutWindow::fillTemplate()
{
    // The window knows the applications directory; the program and its icon
    // are named after the work directory above it.
    const QString workDir = folder().chopped(applicationsDirectory(QString()).size() + 1);
    m_guard->replaceText(desktopTemplate(packageName(workDir)));
}

void shortcutWindow::searchFiles()
{
    listEditorFiles(*this);
}

void shortcutWindow::openFile()
{
    showProblems(loadIntoEditor(folder() + comboBox->currentText(), textEditCopyright));
}
