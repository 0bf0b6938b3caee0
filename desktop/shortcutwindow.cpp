#include "desktop/shortcutwindow.h"

#include "common/dialogs.h"
#include "common/textfiles.h"
#include "common/toolform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

QString applicationsDirectory(const QString &workDir)
{
    return workDir + QStringLiteral("/usr/share/applications");
}

QString shortcutPath(const QString &folder, const QString &typedName, const QString &selected)
{
    if (!typedName.isEmpty())
        return folder + typedName + QStringLiteral(".desktop");
    if (!selected.isEmpty())
        return folder + selected;
    return QString();
}

shortcutWindow::shortcutWindow(const QString &directory)
    : QWidget(nullptr)
{
    copyright.setupUi(this);
    QWidget *contents = copyright.scrollAreaWidgetContents;

    labelFolder = addToolLabel(copyright, QStringLiteral("labelFolder"),
                               QStringLiteral("Рабочий каталог:"), 0, QFormLayout::LabelRole);
    labelFolderValue = addToolLabel(copyright, QStringLiteral("labelFolderValue"),
                                    directory + QLatin1Char('/'), 0, QFormLayout::FieldRole);
    labelFileName = addToolLabel(copyright, QStringLiteral("labelFileName"),
                                 QStringLiteral("Имя файла ярлыка без расширения .desktop:"), 1,
                                 QFormLayout::LabelRole);
    lineEditFileName = new QLineEdit(contents);
    lineEditFileName->setObjectName(QStringLiteral("lineEditFileName"));
    copyright.formLayout->setWidget(1, QFormLayout::FieldRole, lineEditFileName);
    labelFiles = addToolLabel(copyright, QStringLiteral("labelFiles"),
                              QStringLiteral("Найденные файлы ярлыков (.desktop):"), 2,
                              QFormLayout::LabelRole);
    comboBox = new QComboBox(contents);
    comboBox->setMinimumSize(200, 0);
    comboBox->setLayoutDirection(Qt::LeftToRight);
    copyright.formLayout->setWidget(2, QFormLayout::FieldRole, comboBox);
    textEditCopyright = new QTextEdit(contents);
    textEditCopyright->setObjectName(QStringLiteral("textEditCopyright"));
    copyright.formLayout->setWidget(3, QFormLayout::SpanningRole, textEditCopyright);

    copyright.updateMd5sum->hide();
    copyright.checkBox->hide();

    connect(copyright.clean, &QAbstractButton::clicked, this, &shortcutWindow::clean);
    connect(copyright.saveControl, &QAbstractButton::clicked, this, &shortcutWindow::saveShortcut);
    connect(comboBox, QOverload<int>::of(&QComboBox::activated), this, &shortcutWindow::openFile);
    connect(copyright.closeControl, &QAbstractButton::clicked, this, &QWidget::close);

    searchFiles();
    openFile();
}

shortcutWindow::~shortcutWindow() = default;

QString shortcutWindow::folder() const
{
    return labelFolderValue->text();
}

void shortcutWindow::clean()
{
    textEditCopyright->clear();
}

void shortcutWindow::saveShortcut()
{
    const QString target = shortcutPath(folder(), lineEditFileName->text(), comboBox->currentText());
    if (target.isEmpty()) {
        showError(QStringLiteral("Необходимо указать имя файла"));
        return;
    }
    const QString error = saveEditor(target, textEditCopyright);
    if (!error.isEmpty()) {
        showError(error);
        return;
    }
    showDone(QStringLiteral("Изменения сохранены!"));
    close();
}

void shortcutWindow::searchFiles()
{
    comboBox->clear();
    comboBox->addItems(directoryEntries(folder()));
}

void shortcutWindow::openFile()
{
    QString error;
    if (!loadIntoEditor(folder() + comboBox->currentText(), textEditCopyright, &error))
        showError(error);
}
