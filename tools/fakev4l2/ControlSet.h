#pragma once

#include "DeviceConfig.h"

#include <linux/videodev2.h>
#include <vector>

// The controls of one emulated node and their current values. Each call returns 0 or the
// errno the driver would give.
class ControlSet
{
public:
    explicit ControlSet(const std::vector<DeviceConfig::Control>& controls);

    int query(v4l2_queryctrl& query) const;
    int queryMenu(v4l2_querymenu& item) const;
    int get(v4l2_control& control) const;
    int set(const v4l2_control& control);
    // G_EXT_CTRLS, S_EXT_CTRLS or TRY_EXT_CTRLS.
    int extended(unsigned long request, v4l2_ext_controls& controls);

private:
    const DeviceConfig::Control* find(uint32_t id) const;
    // Whether id is the class entry (class | 1) of one of the controls.
    bool hasClass(uint32_t id) const;
    int check(const DeviceConfig::Control* control, int32_t value) const;

    std::vector<DeviceConfig::Control> m_controls;
};
