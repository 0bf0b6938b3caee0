#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QComboBox;
class QTextEdit;
class QWidget;

// Keeps an editor window from losing typed text: before the window closes,
// before another entry of its list is loaded and before a button replaces
// the text, over unsaved changes, it asks "Save, Discard or Cancel"; Ctrl+S
// saves. The text counts as changed while its document is modified (loading
// and saving reset that).
class UnsavedTextGuard : public QObject
{
public:
    // save: the window's own save action; it succeeded when the text no
    // longer counts as modified afterwards. The guard belongs to window.
    UnsavedTextGuard(QWidget *window, QTextEdit *editor, std::function<void()> save);

    // True when the text may be dropped: unchanged, saved or discarded.
    bool mayDrop();

    // Choosing an entry of list loads it with open once the text may be
    // dropped; otherwise the list goes back to the entry shown.
    void guardList(QComboBox *list, std::function<void()> open);

    // Puts text in place of the editor's once the text may be dropped, as one
    // edit that Ctrl+Z undoes; the text then counts as changed until saved
    // or undone back to where it was saved.
    void replaceText(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTextEdit *m_editor;
    std::function<void()> m_save;
    QComboBox *m_list = nullptr;
    QString m_shown; // the entry of the list the editor shows
};
