#include "app/bexlorwindow.h"
#include "app/settings.h"
#include "common/dialogs.h"
#include "ui_bexlorBuilderGui.h"

#include <QSettings>

namespace {

// "/" nests a group in the INI store and "\" is how it writes a nested one,
// so a name holding either would not load back as the profile it names.
bool storableProfileName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace

void BexlorWindow::saveProject()
{
    const QString name = ui->lineEditBinary->text();
    if (name.isEmpty()) {
        showError(QStringLiteral("Необходимо ввести имя бинарного файла"));
        return;
    }
    if (!storableProfileName(name)) {
        showError(QStringLiteral("Имя настроек не может содержать символы «/» и «\\»: %1").arg(name));
        return;
    }
    QSettings &store = settings();
    store.beginGroup(name);
    store.setValue(QStringLiteral("ProjectDir"), ui->lineEditProjectDir->text());
    store.setValue(QStringLiteral("Py"), ui->lineEditPy->text());
    store.setValue(QStringLiteral("OutputC"), ui->labelOutputC->text());
    store.setValue(QStringLiteral("BinaryDir"), ui->lineEditBinaryDir->text());
    store.setValue(QStringLiteral("Binary"), ui->lineEditBinary->text());
    store.setValue(QStringLiteral("Source"), ui->comboBoxSource->currentIndex());
    store.setValue(QStringLiteral("ProjectDirDeb"), ui->lineEditProjectDir_2->text());
    store.setValue(QStringLiteral("DebDir"), ui->lineEditDebDir->text());
    store.endGroup();
    listProjectNames();
    showDone(QStringLiteral("Настройки сохранены"));
}

void BexlorWindow::loadProject()
{
    QSettings &store = settings();
    store.beginGroup(ui->comboBoxProjects->currentText());
    const auto text = [&store](const char *key) {
        return store.value(QLatin1String(key)).toString();
    };
    ui->lineEditProjectDir->setText(text("ProjectDir"));
    ui->lineEditPy->setText(text("Py"));
    ui->labelOutputC->setText(text("OutputC"));
    ui->lineEditBinaryDir->setText(text("BinaryDir"));
    ui->lineEditBinary->setText(text("Binary"));
    ui->lineEditProjectDir_2->setText(text("ProjectDirDeb"));
    ui->lineEditDebDir->setText(text("DebDir"));
    // A value edited by hand into something that is not a number reads as 0.
    ui->comboBoxSource->setCurrentIndex(store.value(QStringLiteral("Source"), 0).toInt());
    store.endGroup();
}

void BexlorWindow::deleteProject()
{
    const QString name = ui->comboBoxProjects->currentText();
    const bool confirmed = Dialogs::instance().question(
        QStringLiteral("Удаление настроек"),
        QStringLiteral("Будут удалены настройки ") + name
            + QStringLiteral(".\nДействительно это сделать?"));
    if (!confirmed)
        return;
    // An empty group name would name the whole store.
    if (name.isEmpty()) {
        showError(QStringLiteral("Не выбраны настройки для удаления"));
        return;
    }
    settings().remove(name);
    listProjectNames();
}
