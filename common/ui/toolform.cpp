#include "common/ui/toolform.h"

#include "common/filesystem.h"
#include "common/ui/dialogs.h"
#include "ui_control.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

namespace {

QFont toolLabelFont()
{
    QFont font(QStringLiteral("PT Morva Fact"));
    font.setBold(true);
    return font;
}

} // namespace

QLabel *addToolLabel(Ui::Form &form, const QString &objectName, const QString &text, int row,
                     QFormLayout::ItemRole role)
{
    auto *label = new QLabel(form.scrollAreaWidgetContents);
    label->setFont(toolLabelFont());
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    // A path in the field column breaks at its "/" rather than widen the window.
    label->setWordWrap(role == QFormLayout::FieldRole);
    form.formLayout->setWidget(row, role, label);
    return label;
}

QTextEdit *addToolTextEdit(Ui::Form &form, const QString &objectName, int row)
{
    auto *edit = new QTextEdit(form.scrollAreaWidgetContents);
    edit->setObjectName(objectName);
    edit->setAcceptRichText(false);
    form.formLayout->setWidget(row, QFormLayout::SpanningRole, edit);
    return edit;
}

QTextEdit *addFileEditorRows(Ui::Form &form, FileEditorWidgets &widgets, const QString &folder,
                             const QString &fileNameCaption, const QString &filesCaption, const QString &textEditName)
{
    widgets.labelFolder = addToolLabel(form, QStringLiteral("labelFolder"), QStringLiteral("Рабочий каталог:"), 0,
                                       QFormLayout::LabelRole);
    widgets.labelFolderValue = addToolLabel(form, QStringLiteral("labelFolderValue"), folder, 0,
                                            QFormLayout::FieldRole);
    // The two captions get their mnemonic on the first letter, through their field.
    widgets.labelFileName = addToolLabel(form, QStringLiteral("labelFileName"), QLatin1Char('&') + fileNameCaption, 1,
                                         QFormLayout::LabelRole);
    widgets.lineEditFileName = new QLineEdit(form.scrollAreaWidgetContents);
    widgets.lineEditFileName->setObjectName(QStringLiteral("lineEditFileName"));
    form.formLayout->setWidget(1, QFormLayout::FieldRole, widgets.lineEditFileName);
    widgets.labelFiles = addToolLabel(form, QStringLiteral("labelFiles"), QLatin1Char('&') + filesCaption, 2,
                                      QFormLayout::LabelRole);
    widgets.comboBox = new QComboBox(form.scrollAreaWidgetContents);
    widgets.comboBox->setMinimumSize(200, 0);
    widgets.comboBox->setLayoutDirection(Qt::LeftToRight);
    form.formLayout->setWidget(2, QFormLayout::FieldRole, widgets.comboBox);
    widgets.labelFileName->setBuddy(widgets.lineEditFileName);
    widgets.labelFiles->setBuddy(widgets.comboBox);
    return addToolTextEdit(form, textEditName, 3);
}

void listEditorFiles(FileEditorWidgets &widgets)
{
    widgets.comboBox->clear();
    const QList<EntryName> entries = directoryEntryNames(widgets.labelFolderValue->text());
    for (const EntryName &entry : entries) {
        if (entry.showable)
            widgets.comboBox->addItem(entry.text);
    }
    const QStringList unshowable = unshowableNames(entries);
    if (!unshowable.isEmpty()) {
        showError(QStringLiteral("Имена этих файлов не в кодировке UTF-8, открыть их здесь нельзя:\n")
                  + unshowable.join(QLatin1Char('\n')));
    }
}
