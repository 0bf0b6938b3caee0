#include "common/toolform.h"

#include "ui_control.h"

#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

QFont toolLabelFont()
{
    QFont font(QStringLiteral("PT Morva Fact"));
    font.setBold(true);
    return font;
}

QLabel *addToolLabel(Ui::Form &form, const QString &objectName, const QString &text, int row,
                     QFormLayout::ItemRole role)
{
    auto *label = new QLabel(form.scrollAreaWidgetContents);
    label->setFont(toolLabelFont());
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
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

FileEditorRows addFileEditorRows(Ui::Form &form, const QString &folder, const QString &fileNameCaption,
                                 const QString &filesCaption, const QString &textEditName)
{
    FileEditorRows rows;
    rows.labelFolder = addToolLabel(form, QStringLiteral("labelFolder"), QStringLiteral("Рабочий каталог:"), 0,
                                    QFormLayout::LabelRole);
    rows.labelFolderValue = addToolLabel(form, QStringLiteral("labelFolderValue"), folder, 0,
                                         QFormLayout::FieldRole);
    rows.labelFileName = addToolLabel(form, QStringLiteral("labelFileName"), fileNameCaption, 1,
                                      QFormLayout::LabelRole);
    rows.lineEditFileName = new QLineEdit(form.scrollAreaWidgetContents);
    rows.lineEditFileName->setObjectName(QStringLiteral("lineEditFileName"));
    form.formLayout->setWidget(1, QFormLayout::FieldRole, rows.lineEditFileName);
    rows.labelFiles = addToolLabel(form, QStringLiteral("labelFiles"), filesCaption, 2, QFormLayout::LabelRole);
    rows.comboBox = new QComboBox(form.scrollAreaWidgetContents);
    rows.comboBox->setMinimumSize(200, 0);
    rows.comboBox->setLayoutDirection(Qt::LeftToRight);
    form.formLayout->setWidget(2, QFormLayout::FieldRole, rows.comboBox);
    rows.textEdit = addToolTextEdit(form, textEditName, 3);
    return rows;
}

QStringList directoryEntries(const QString &directory)
{
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}
