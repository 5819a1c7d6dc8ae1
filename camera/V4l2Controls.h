#pragma once

#include "V4l2Control.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// The control ioctls of one open video device node. The device itself implements them on
// the node; tests substitute a scripted implementation through setFactory. The enumeration
// and read-back rules on top are shared by both.
class V4l2Controls
{
public:
    using Factory = std::function<std::unique_ptr<V4l2Controls>(const QString& nodePath)>;

    virtual ~V4l2Controls();

    // The controls of the node at nodePath, or null when it cannot be opened.
    static std::unique_ptr<V4l2Controls> open(const QString& nodePath);
    // Replaces how nodes are opened; an empty factory restores the real device.
    static void setFactory(Factory factory);

    // VIDIOC_QUERYCTRL, VIDIOC_QUERYMENU, VIDIOC_G_CTRL, VIDIOC_S_CTRL; false when the call failed.
    virtual bool queryControl(v4l2_queryctrl& query) = 0;
    virtual bool queryMenu(v4l2_querymenu& item) = 0;
    virtual bool getControl(v4l2_control& control) = 0;
    virtual bool setControl(v4l2_control& control) = 0;

    // Every control that can be shown (integer, boolean, menu, button), in the driver's order,
    // without disabled ones, with its current value.
    QList<V4l2Control> list();
    // The driver's name of a control class, when it reported the class as a control of its own.
    QString className(quint32 controlClass) const;
    // Reads flags and value again (writing one control may change others); false when the
    // driver no longer knows the control.
    bool reread(V4l2Control& control);
    // Writes value; the control's value is not changed here (read it back with reread).
    bool write(const V4l2Control& control, qint32 value);

private:
    bool readMenu(V4l2Control& control);
    void readValue(V4l2Control& control);

    QList<QPair<quint32, QString>> m_classNames;
};
