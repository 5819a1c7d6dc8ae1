#pragma once

#include "KeyboardKeys.h"

#include <QObject>

class QWidget;

// Watches the keyboard for the assigned keys while the camera window is active (in full
// screen too) and reports their commands. An assigned key takes precedence over whatever
// the focused widget would do with it; a held key acts once.
class KeyboardKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit KeyboardKeyFilter(QWidget* window);
    ~KeyboardKeyFilter() override;

    // Reads the assignments again (after the key control dialog).
    void reload();

signals:
    void commandPressed(int command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    KeyboardKeys m_keys;
};
