#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include <linux/videodev2.h>

// One device control as the controls dialog shows it: what the driver reports about it,
// its menu entries (index, text) and the value last read back.
struct V4l2Control {
    quint32 id = 0;
    quint32 type = 0;
    QString name;
    qint32 minimum = 0;
    qint32 maximum = 0;
    qint32 step = 1;
    qint32 defaultValue = 0;
    quint32 flags = 0;
    QVector<QPair<qint32, QString>> menu;
    qint32 value = 0;

    quint32 controlClass() const { return V4L2_CTRL_ID2CLASS(id); }
    bool isReadOnly() const { return flags & V4L2_CTRL_FLAG_READ_ONLY; }
    bool isInactive() const { return flags & V4L2_CTRL_FLAG_INACTIVE; }
    // Buttons only act; their value cannot be read back.
    bool hasValue() const { return type != V4L2_CTRL_TYPE_BUTTON && !(flags & V4L2_CTRL_FLAG_WRITE_ONLY); }
    bool isEditable() const { return !isReadOnly() && !isInactive(); }
};
