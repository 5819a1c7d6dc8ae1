#include "KeyboardKeys.h"

#include "AppSettings.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenuBar>
#include <QWidget>

KeyboardKeys KeyboardKeys::load()
{
    const AppSettings settings;
    KeyboardKeys keys;
    for (int i = 0; i < kCount; ++i) {
        keys.m_keys[i].key = QKeySequence::fromString(settings.keyboardKey(i), QKeySequence::PortableText);
        keys.m_keys[i].command = settings.keyboardKeyCommand(i);
    }
    return keys;
}

void KeyboardKeys::save() const
{
    AppSettings settings;
    for (int i = 0; i < kCount; ++i) {
        settings.setKeyboardKey(i, m_keys[i].key.toString(QKeySequence::PortableText));
        settings.setKeyboardKeyCommand(i, m_keys[i].command);
    }
}

int KeyboardKeys::commandFor(const QKeySequence& key) const
{
    if (key.isEmpty())
        return -1;
    for (const Assignment& assignment : m_keys) {
        if (assignment.key == key)
            return assignment.command;
    }
    return -1;
}

QKeySequence KeyboardKeys::keyOf(const QKeyEvent* event)
{
    // A key of the number block counts as the same key as its twin in the main block.
    const int modifiers = int(event->modifiers() & ~Qt::KeypadModifier);
    return QKeySequence(event->key() | modifiers);
}

bool KeyboardKeys::isModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_unknown:
    case 0:
        return true;
    default:
        return false;
    }
}

QList<QKeySequence> KeyboardKeys::reservedIn(const QWidget* window)
{
    QList<QKeySequence> keys { QKeySequence(Qt::Key_F12), QKeySequence(Qt::Key_Escape),
        QKeySequence(Qt::Key_Space) };
    if (!window)
        return keys;
    const QList<QAction*> actions = window->findChildren<QAction*>();
    for (const QAction* action : actions)
        keys += action->shortcuts();
    if (const QMenuBar* bar = window->findChild<QMenuBar*>()) {
        const QList<QAction*> menus = bar->actions();
        for (const QAction* menu : menus) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(menu->text());
            if (!mnemonic.isEmpty())
                keys << mnemonic;
        }
    }
    return keys;
}
