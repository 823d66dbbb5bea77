#include "action/ui/keycaptureedit.h"

#include <QKeyEvent>

KeyCaptureEdit::KeyCaptureEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
}

void KeyCaptureEdit::Refresh()
{
    setText(m_Capture.Titles());
    emit KeysChanged();
}

bool KeyCaptureEdit::event(QEvent *event)
{
    // Taken before focus handling, so Tab is a key to capture rather than a move.
    if (event->type() == QEvent::KeyPress) {
        m_Capture.KeyPressed(*static_cast<QKeyEvent *>(event));
        Refresh();
        return true;
    }
    if (event->type() == QEvent::KeyRelease) {
        m_Capture.KeyReleased(*static_cast<QKeyEvent *>(event));
        Refresh();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}
