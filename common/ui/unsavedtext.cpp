#include "common/ui/unsavedtext.h"

#include "common/ui/dialogs.h"

#include <QComboBox>
#include <QEvent>
#include <QShortcut>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

UnsavedTextGuard::UnsavedTextGuard(QWidget *window, QTextEdit *editor, std::function<void()> save)
    : QObject(window)
    , m_editor(editor)
    , m_save(std::move(save))
{
    window->installEventFilter(this);
    connect(new QShortcut(QKeySequence::Save, window), &QShortcut::activated, this, [this] { m_save(); });
}

bool UnsavedTextGuard::mayDrop()
{
    if (!m_editor->document()->isModified())
        return true;
    switch (Dialogs::instance().askToSave(QStringLiteral("Несохранённые изменения"),
                                          QStringLiteral("Текст изменён, но не сохранён. Сохранить изменения?"))) {
    case Dialogs::SaveAnswer::Save:
        m_save();
        return !m_editor->document()->isModified();
    case Dialogs::SaveAnswer::Discard:
        return true;
    case Dialogs::SaveAnswer::Cancel:
        break;
    }
    return false;
}

void UnsavedTextGuard::guardList(QComboBox *list, std::function<void()> open)
{
    m_list = list;
    m_shown = list->currentText();
    list->installEventFilter(this);
    connect(list, QOverload<int>::of(&QComboBox::activated), this, [this, open] {
        const QString chosen = m_list->currentText();
        m_list->setCurrentText(m_shown);
        if (!mayDrop())
            return;
        // Saving may have rebuilt the list: the chosen entry is looked up again.
        m_list->setCurrentText(chosen);
        open();
        m_shown = m_list->currentText();
    });
}

void UnsavedTextGuard::replaceText(const QString &text)
{
    if (!mayDrop())
        return;
    QTextCursor cursor(m_editor->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.insertText(text);
    cursor.endEditBlock();
}

bool UnsavedTextGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Every choice in the list begins with a key, a click or the wheel: the
    // entry selected then is the one the editor shows.
    if (watched == m_list
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress
            || event->type() == QEvent::Wheel)) {
        m_shown = m_list->currentText();
        return false;
    }
    if (event->type() == QEvent::Close && !mayDrop()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
