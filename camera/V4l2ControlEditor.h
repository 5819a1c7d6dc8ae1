#pragma once

#include "V4l2Control.h"

#include <QObject>

class QLabel;
class QWidget;

// The widgets of one device control in the controls dialog: a name label and an editor
// (slider with spin box, check box, combo box or push button). Emits changed only for the
// operator's edits, never for values shown from the device.
class V4l2ControlEditor : public QObject
{
    Q_OBJECT
public:
    V4l2ControlEditor(const V4l2Control& control, QWidget* parent);

    QLabel* label() const { return m_label; }
    QWidget* editor() const { return m_editor; }
    // Shows the control's value and greys the editor when it cannot be changed now.
    void show(const V4l2Control& control);

signals:
    void changed(qint32 value);

private:
    QWidget* makeInteger(const V4l2Control& control, QWidget* parent);
    QWidget* makeMenu(const V4l2Control& control, QWidget* parent);

    QLabel* m_label = nullptr;
    QWidget* m_editor = nullptr;
    // The widgets that carry the value, so show() can set it without echoing it back.
    QList<QWidget*> m_valueWidgets;
};
