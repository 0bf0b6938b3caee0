#include "common/ui/dialogs.h"

#include "common/wording.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

class QtDialogs final : public Dialogs
{
public:
    void critical(const QString &title, const QString &text, const QString &details) override
    {
        show(QMessageBox::Critical, title, text, details);
    }

    void information(const QString &title, const QString &text, const QString &details) override
    {
        show(QMessageBox::Information, title, text, details);
    }

    bool question(const QString &title, const QString &text) override
    {
        return QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }

    QString textInput(const QString &title, const QString &label, const QStringList &items) override
    {
        bool ok = false;
        const QString text = items.isEmpty()
                                 ? QInputDialog::getText(nullptr, title, label, QLineEdit::Normal, QString(), &ok)
                                 : QInputDialog::getItem(nullptr, title, label, items, 0, false, &ok);
        return ok ? text : QString();
    }

    QString existingDirectory(QWidget *parent, const QString &caption) override
    {
        return QFileDialog::getExistingDirectory(parent, caption);
    }

    QString openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }

    SaveAnswer askToSave(const QString &title, const QString &text) override
    {
        switch (QMessageBox::question(
            nullptr, title, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
        case QMessageBox::Save:
            return SaveAnswer::Save;
        case QMessageBox::Discard:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
        }
    }

private:
    static void show(QMessageBox::Icon icon, const QString &title, const QString &text, const QString &details)
    {
        QMessageBox box(icon, title, text, QMessageBox::Ok);
        box.setDetailedText(details);
        box.exec();
    }
};

QtDialogs qtDialogs;
Dialogs *current = &qtDialogs;

} // namespace

Dialogs::~Dialogs() = default;

Dialogs &Dialogs::instance()
{
    return *current;
}

void Dialogs::install(Dialogs *dialogs)
{
    current = dialogs ? dialogs : &qtDialogs;
}

void showError(const QString &text, const QString &details)
{
    const BoxText shown = boxText(text, details);
    Dialogs::instance().critical(QStringLiteral("Ошибка"), shown.text, shown.details);
}

void showDone(const QString &text, const QString &details)
{
    const BoxText shown = boxText(text, details);
    Dialogs::instance().information(QStringLiteral("Выполнено!"), shown.text, shown.details);
}

void showProblems(const Result &result)
{
    if (result.failed())
        showError(result.message, result.details);
    else if (!result.warnings.isEmpty())
        showError(result.warnings.join(QLatin1Char('\n')));
}

void showResult(const Result &result)
{
    if (result.success)
        showDone(result.message, result.details);
    else
        showError(result.message, result.details);
}
