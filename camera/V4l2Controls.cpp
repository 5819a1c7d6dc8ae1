#include "V4l2Controls.h"

#include "V4l2Device.h"

namespace {
// Bounds against drivers (or nodes) that report nonsense: no real device has more.
constexpr int kMaxControls = 1024;
constexpr qint64 kMaxMenuItems = 256;

V4l2Controls::Factory& factory()
{
    static V4l2Controls::Factory f;
    return f;
}

QString fixedText(const __u8* text, size_t size)
{
    const char* s = reinterpret_cast<const char*>(text);
    return QString::fromUtf8(s, int(qstrnlen(s, uint(size))));
}

bool isShownType(quint32 type)
{
    switch (type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_BOOLEAN:
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
    case V4L2_CTRL_TYPE_BUTTON:
        return true;
    default:
        return false;
    }
}
} // namespace

V4l2Controls::~V4l2Controls() = default;

std::unique_ptr<V4l2Controls> V4l2Controls::open(const QString& nodePath)
{
    if (factory())
        return factory()(nodePath);
    return V4l2Device::open(nodePath);
}

void V4l2Controls::setFactory(Factory f)
{
    factory() = std::move(f);
}

QList<V4l2Control> V4l2Controls::list()
{
    QList<V4l2Control> controls;
    m_classNames.clear();
    quint32 lastId = 0;
    for (int n = 0; n < kMaxControls; ++n) {
        v4l2_queryctrl query {};
        query.id = lastId | V4L2_CTRL_FLAG_NEXT_CTRL;
        if (!queryControl(query))
            break;
        // A driver that does not move on would keep us here forever.
        if (query.id <= lastId)
            break;
        lastId = query.id;

        if (query.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
            m_classNames << qMakePair(
                quint32(V4L2_CTRL_ID2CLASS(query.id)), fixedText(query.name, sizeof query.name));
            continue;
        }
        if ((query.flags & V4L2_CTRL_FLAG_DISABLED) || !isShownType(query.type))
            continue;

        V4l2Control control;
        control.id = query.id;
        control.type = query.type;
        control.name = fixedText(query.name, sizeof query.name);
        control.minimum = query.minimum;
        control.maximum = query.maximum;
        control.step = query.step > 0 ? query.step : 1;
        control.defaultValue = query.default_value;
        control.flags = query.flags;
        control.value = query.default_value;
        if ((control.type == V4L2_CTRL_TYPE_MENU || control.type == V4L2_CTRL_TYPE_INTEGER_MENU)
            && !readMenu(control))
            continue;
        readValue(control);
        controls << control;
    }
    return controls;
}

bool V4l2Controls::readMenu(V4l2Control& control)
{
    // Menus may have holes: indices the driver refuses are simply not offered.
    const qint64 first = qMax<qint64>(0, control.minimum);
    const qint64 last = qMin<qint64>(control.maximum, first + kMaxMenuItems - 1);
    for (qint64 index = first; index <= last; ++index) {
        v4l2_querymenu item {};
        item.id = control.id;
        item.index = quint32(index);
        if (!queryMenu(item))
            continue;
        const QString text = control.type == V4L2_CTRL_TYPE_INTEGER_MENU
            ? QString::number(qint64(item.value))
            : fixedText(item.name, sizeof item.name);
        control.menu << qMakePair(qint32(index), text);
    }
    return !control.menu.isEmpty();
}

QString V4l2Controls::className(quint32 controlClass) const
{
    for (const auto& entry : m_classNames) {
        if (entry.first == controlClass)
            return entry.second;
    }
    return QString();
}

bool V4l2Controls::reread(V4l2Control& control)
{
    v4l2_queryctrl query {};
    query.id = control.id;
    if (!queryControl(query))
        return false;
    control.flags = query.flags;
    readValue(control);
    return true;
}

void V4l2Controls::readValue(V4l2Control& control)
{
    // Buttons and write-only controls have no value to read; a refused read keeps the value
    // known so far.
    if (!control.hasValue())
        return;
    v4l2_control current {};
    current.id = control.id;
    if (getControl(current))
        control.value = current.value;
}

bool V4l2Controls::write(const V4l2Control& control, qint32 value)
{
    v4l2_control request {};
    request.id = control.id;
    request.value = value;
    return setControl(request);
}
