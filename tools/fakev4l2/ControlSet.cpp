#include "ControlSet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace {

const char* className(uint32_t controlClass)
{
    switch (controlClass) {
    case V4L2_CTRL_CLASS_USER:
        return "User Controls";
    case V4L2_CTRL_CLASS_CAMERA:
        return "Camera Controls";
    default:
        return "Controls";
    }
}

void copyText(uint8_t* target, size_t size, const std::string& text)
{
    std::memset(target, 0, size);
    std::copy_n(text.data(), std::min(size - 1, text.size()), target);
}

} // namespace

ControlSet::ControlSet(const std::vector<DeviceConfig::Control>& controls)
    : m_controls(controls)
{
    std::sort(m_controls.begin(), m_controls.end(),
        [](const DeviceConfig::Control& a, const DeviceConfig::Control& b) { return a.id < b.id; });
}

const DeviceConfig::Control* ControlSet::find(uint32_t id) const
{
    for (const auto& c : m_controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

bool ControlSet::hasClass(uint32_t id) const
{
    for (const auto& c : m_controls)
        if ((V4L2_CTRL_ID2CLASS(c.id) | 1) == id)
            return true;
    return false;
}

int ControlSet::query(v4l2_queryctrl& query) const
{
    const uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
    const uint32_t id = query.id & ~next;
    if (query.id & next) {
        // As uvcvideo: a class entry comes before the first control of each class.
        std::set<uint32_t> ids;
        for (const auto& c : m_controls) {
            ids.insert(c.id);
            ids.insert(V4L2_CTRL_ID2CLASS(c.id) | 1);
        }
        const auto it = ids.upper_bound(id);
        if (it == ids.end())
            return EINVAL;
        query.id = *it;
    }
    const DeviceConfig::Control* c = find(query.id);
    if (!c && hasClass(query.id)) {
        const uint32_t classId = query.id;
        std::memset(&query, 0, sizeof query);
        query.id = classId;
        query.type = V4L2_CTRL_TYPE_CTRL_CLASS;
        copyText(query.name, sizeof query.name, className(V4L2_CTRL_ID2CLASS(classId)));
        query.flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
        return 0;
    }
    if (!c)
        return EINVAL;
    std::memset(&query, 0, sizeof query);
    query.id = c->id;
    query.type = c->type;
    copyText(query.name, sizeof query.name, c->name);
    query.minimum = c->minimum;
    query.maximum = c->maximum;
    query.step = c->step;
    query.default_value = c->defaultValue;
    query.flags = c->flags;
    return 0;
}

int ControlSet::queryMenu(v4l2_querymenu& item) const
{
    const DeviceConfig::Control* c = find(item.id);
    if (!c || c->type != V4L2_CTRL_TYPE_MENU)
        return EINVAL;
    const int64_t index = item.index;
    if (index < c->minimum || index > c->maximum || index >= int64_t(c->menu.size()))
        return EINVAL;
    const uint32_t id = item.id;
    const uint32_t i = item.index;
    std::memset(&item, 0, sizeof item);
    item.id = id;
    item.index = i;
    copyText(item.name, sizeof item.name, c->menu[i]);
    return 0;
}

int ControlSet::get(v4l2_control& control) const
{
    const DeviceConfig::Control* c = find(control.id);
    if (!c || (c->flags & V4L2_CTRL_FLAG_DISABLED))
        return EINVAL;
    if (c->flags & V4L2_CTRL_FLAG_WRITE_ONLY)
        return EACCES;
    control.value = c->value;
    return 0;
}

int ControlSet::check(const DeviceConfig::Control* c, int32_t value) const
{
    if (!c || (c->flags & V4L2_CTRL_FLAG_DISABLED))
        return EINVAL;
    if (c->flags & V4L2_CTRL_FLAG_READ_ONLY)
        return EACCES;
    if (c->type == V4L2_CTRL_TYPE_BUTTON)
        return 0;
    if (value < c->minimum || value > c->maximum)
        return ERANGE;
    if (c->step > 1 && (int64_t(value) - c->minimum) % c->step != 0)
        return EINVAL;
    return 0;
}

int ControlSet::set(const v4l2_control& control)
{
    const DeviceConfig::Control* c = find(control.id);
    if (const int error = check(c, control.value))
        return error;
    for (auto& stored : m_controls)
        if (stored.id == control.id && stored.type != V4L2_CTRL_TYPE_BUTTON)
            stored.value = control.value;
    return 0;
}

int ControlSet::extended(unsigned long request, v4l2_ext_controls& controls)
{
    if (controls.count > 0 && !controls.controls)
        return EFAULT;
    const bool defaults = controls.which == V4L2_CTRL_WHICH_DEF_VAL;
    if (defaults && request != VIDIOC_G_EXT_CTRLS)
        return EINVAL;
    for (uint32_t i = 0; i < controls.count; ++i) {
        v4l2_ext_control& item = controls.controls[i];
        const DeviceConfig::Control* c = find(item.id);
        const bool inClass = controls.which == V4L2_CTRL_WHICH_CUR_VAL || defaults
            || V4L2_CTRL_ID2CLASS(item.id) == controls.which;
        int error = inClass ? 0 : EINVAL;
        if (!error && request == VIDIOC_G_EXT_CTRLS) {
            if (!c || (c->flags & V4L2_CTRL_FLAG_DISABLED))
                error = EINVAL;
            else if (c->flags & V4L2_CTRL_FLAG_WRITE_ONLY)
                error = EACCES;
            else
                item.value = defaults ? c->defaultValue : c->value;
        } else if (!error) {
            error = check(c, item.value);
        }
        if (error) {
            controls.error_idx = i;
            return error;
        }
    }
    if (request == VIDIOC_S_EXT_CTRLS)
        for (uint32_t i = 0; i < controls.count; ++i)
            set({ controls.controls[i].id, controls.controls[i].value });
    return 0;
}
