#include "common/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

class QtDialogs final : public Dialogs
{
public:
    void critical(const QString &title, const QString &text) override
    {
        QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
    }

    void information(const QString &title, const QString &text) override
    {
        QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
    }

    bool question(const QString &title, const QString &text) override
    {
        return QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    }

    QString existingDirectory(QWidget *parent, const QString &caption) override
    {
        return QFileDialog::getExistingDirectory(parent, caption);
    }

    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }

    SaveAnswer askToSave(const QString &title, const QString &text) override
    {
        switch (QMessageBox::question(nullptr, title, text,
                                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                      QMessageBox::Save)) {
        case QMessageBox::Save:
            return SaveAnswer::Save;
        case QMessageBox::Discard:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
        }
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

void showError(const QString &text)
{
    Dialogs::instance().critical(QStringLiteral("Ошибка"), text);
}

void showDone(const QString &text)
{
    Dialogs::instance().information(QStringLiteral("Выполнено!"), text);
}

void showResult(const Result &result)
{
    if (result.success)
        showDone(result.message);
    else
        showError(result.message);
}
