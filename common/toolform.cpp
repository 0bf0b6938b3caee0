#include "common/toolform.h"

#include "ui_control.h"

#include <QDir>
#include <QFont>
#include <QLabel>

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
    label->setText(text);
    form.formLayout->setWidget(row, role, label);
    return label;
}

QStringList directoryEntries(const QString &directory)
{
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}
