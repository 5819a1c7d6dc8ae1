#pragma once

#include "V4l2Controls.h"

#include <QMap>
#include <QSet>

// A camera driver's answers to the control ioctls, played from a script that the caller keeps
// (shared, so writes can be watched after the dialog took the device over).
struct V4l2Script {
    struct Control {
        v4l2_queryctrl query;
        QMap<quint32, QByteArray> menu;
        qint32 value;
    };
    QMap<quint32, Control> controls; // by id, the order a driver enumerates them in
    QList<QPair<quint32, qint32>> writes;
    QSet<quint32> failingWrites;
    bool unplugged = false;
    // What a successful write does to other controls (automatic modes and the like).
    std::function<void(V4l2Script&, quint32 id, qint32 value)> afterWrite;

    void add(quint32 id, quint32 type, const char* name, qint32 min, qint32 max, qint32 def, qint32 value,
        quint32 flags = 0, QMap<quint32, QByteArray> menu = {}, qint32 step = 1)
    {
        Control& c = controls[id] = Control { { id, type, {}, min, max, step, def, flags, {} }, menu, value };
        qstrncpy(reinterpret_cast<char*>(c.query.name), name, sizeof c.query.name);
    }
    // The controls a typical UVC examination camera's driver offers.
    static std::shared_ptr<V4l2Script> typicalCamera()
    {
        auto s = std::make_shared<V4l2Script>();
        s->add(V4L2_CID_USER_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0);
        s->add(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 0, 8);
        s->add(V4L2_CID_CONTRAST, V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 95, 32, 40);
        s->add(V4L2_CID_SATURATION, V4L2_CTRL_TYPE_INTEGER, "Saturation", 0, 100, 55, 60);
        s->add(V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1);
        s->add(V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 2, 1, 1, 0,
            { { 0, "Disabled" }, { 1, "50 Hz" }, { 2, "60 Hz" } });
        s->add(V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CTRL_TYPE_INTEGER, "White Balance Temperature", 2800,
            6500, 4600, 4600, V4L2_CTRL_FLAG_INACTIVE, {}, 10);
        s->add(V4L2_CID_CAMERA_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "Camera Controls", 0, 0, 0, 0);
        s->add(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 3, 3, 3, 0,
            { { 1, "Manual Mode" }, { 3, "Aperture Priority Mode" } });
        s->add(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Exposure Time, Absolute", 3, 2047, 250,
            250, V4L2_CTRL_FLAG_INACTIVE);
        return s;
    }
};

class ScriptedV4l2 : public V4l2Controls
{
public:
    explicit ScriptedV4l2(std::shared_ptr<V4l2Script> script)
        : s(std::move(script))
    { }

    bool queryControl(v4l2_queryctrl& query) override
    {
        // With the "next" flag a driver answers with the smallest id above the one asked for.
        const quint32 id = query.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        const auto it
            = query.id & V4L2_CTRL_FLAG_NEXT_CTRL ? s->controls.upperBound(id) : s->controls.find(id);
        if (s->unplugged || it == s->controls.end())
            return false;
        query = it->query;
        return true;
    }
    bool queryMenu(v4l2_querymenu& item) override
    {
        const QByteArray name = s->controls.value(item.id).menu.value(item.index);
        qstrncpy(reinterpret_cast<char*>(item.name), name.constData(), sizeof item.name);
        return !name.isEmpty();
    }
    bool getControl(v4l2_control& control) override
    {
        const auto it = s->controls.find(control.id);
        if (s->unplugged || it == s->controls.end() || it->query.type == V4L2_CTRL_TYPE_BUTTON)
            return false;
        control.value = it->value;
        return true;
    }
    bool setControl(v4l2_control& control) override
    {
        s->writes << qMakePair(control.id, control.value);
        const auto it = s->controls.find(control.id);
        if (s->unplugged || it == s->controls.end() || (it->query.flags & V4L2_CTRL_FLAG_READ_ONLY)
            || s->failingWrites.contains(control.id))
            return false;
        it->value = control.value;
        if (s->afterWrite)
            s->afterWrite(*s, control.id, control.value);
        return true;
    }

private:
    std::shared_ptr<V4l2Script> s;
};
