#pragma once

#include "V4l2Controls.h"

#include <QMap>
#include <QSet>

#include <functional>
#include <memory>

// A camera driver's answers to the control ioctls, played from a script that the test keeps
// (shared, so writes can be watched after the dialog took the device over).
struct V4l2Script {
    struct Control {
        v4l2_queryctrl query;
        QMap<quint32, QByteArray> menu;
        qint32 value;
    };
    QList<Control> controls;
    QList<QPair<quint32, qint32>> writes;
    QSet<quint32> failingWrites;
    bool unplugged = false;
    // What a successful write does to other controls (automatic modes and the like).
    std::function<void(V4l2Script&, quint32 id, qint32 value)> afterWrite;

    void add(quint32 id, quint32 type, const char* name, qint32 min, qint32 max, qint32 def, qint32 value,
        quint32 flags = 0, QMap<quint32, QByteArray> menu = {}, qint32 step = 1)
    {
        v4l2_queryctrl q {};
        q.id = id;
        q.type = type;
        qstrncpy(reinterpret_cast<char*>(q.name), name, sizeof q.name);
        q.minimum = min;
        q.maximum = max;
        q.step = step;
        q.default_value = def;
        q.flags = flags;
        controls << Control { q, menu, value };
    }
    Control* find(quint32 id)
    {
        for (Control& c : controls)
            if (c.query.id == id)
                return &c;
        return nullptr;
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
        const bool next = query.id & V4L2_CTRL_FLAG_NEXT_CTRL;
        const quint32 id = query.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        const V4l2Script::Control* found = nullptr;
        for (const V4l2Script::Control& c : qAsConst(s->controls))
            if (next ? c.query.id > id && (!found || c.query.id < found->query.id) : c.query.id == id)
                found = &c;
        if (found && !s->unplugged)
            query = found->query;
        return found && !s->unplugged;
    }
    bool queryMenu(v4l2_querymenu& item) override
    {
        const V4l2Script::Control* c = s->find(item.id);
        if (!c || !c->menu.contains(item.index))
            return false;
        qstrncpy(reinterpret_cast<char*>(item.name), c->menu.value(item.index).constData(), sizeof item.name);
        return true;
    }
    bool getControl(v4l2_control& control) override
    {
        const V4l2Script::Control* c = s->find(control.id);
        if (s->unplugged || !c || c->query.type == V4L2_CTRL_TYPE_BUTTON)
            return false;
        control.value = c->value;
        return true;
    }
    bool setControl(v4l2_control& control) override
    {
        s->writes << qMakePair(control.id, control.value);
        V4l2Script::Control* c = s->find(control.id);
        if (s->unplugged || !c || (c->query.flags & V4L2_CTRL_FLAG_READ_ONLY)
            || s->failingWrites.contains(control.id))
            return false;
        c->value = control.value;
        if (s->afterWrite)
            s->afterWrite(*s, control.id, control.value);
        return true;
    }

private:
    std::shared_ptr<V4l2Script> s;
};
