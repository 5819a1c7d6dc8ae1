#include "KeyCaptureEdit.h"

#include "KeyboardKeys.h"

#include <QKeyEvent>

KeyCaptureEdit::KeyCaptureEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
}

void KeyCaptureEdit::setKey(const QKeySequence& key)
{
    m_key = key;
    setText(key.toString(QKeySequence::NativeText));
}

bool KeyCaptureEdit::event(QEvent* event)
{
    // Every key is taken here, also those that are shortcuts elsewhere or close the dialog.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void KeyCaptureEdit::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (event->isAutoRepeat() || KeyboardKeys::isModifier(event->key()))
        return;
    emit keyPressed(KeyboardKeys::keyOf(event));
}
