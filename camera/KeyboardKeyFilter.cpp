#include "KeyboardKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyboardKeyFilter::KeyboardKeyFilter(QWidget* window)
    : QObject(window)
    , m_window(window)
    , m_keys(KeyboardKeys::load())
{
    // Watched application-wide: a key goes to whichever widget has the focus, and the
    // window's own shortcuts are tried before any widget sees it.
    qApp->installEventFilter(this);
}

KeyboardKeyFilter::~KeyboardKeyFilter()
{
    qApp->removeEventFilter(this);
}

void KeyboardKeyFilter::reload()
{
    m_keys = KeyboardKeys::load();
}

bool KeyboardKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    // Only keys meant for this window's widgets: not its menus' popups, not a dialog.
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_window
        || !m_window->isActiveWindow())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int command = m_keys.commandFor(KeyboardKeys::keyOf(key));
    if (command < 0)
        return false;
    // Claimed as the window's own key: no shortcut takes it.
    key->accept();
    if (type == QEvent::KeyPress && !key->isAutoRepeat())
        emit commandPressed(command);
    return true;
}
