#include "DeviceConfig.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <linux/videodev2.h>

using nlohmann::json;

namespace {

uint32_t fourccOf(const std::string& text)
{
    char c[4] = { ' ', ' ', ' ', ' ' };
    for (size_t i = 0; i < 4 && i < text.size(); ++i)
        c[i] = text[i];
    return v4l2_fourcc(c[0], c[1], c[2], c[3]);
}

uint32_t controlType(const std::string& name)
{
    if (name == "bool")
        return V4L2_CTRL_TYPE_BOOLEAN;
    if (name == "menu")
        return V4L2_CTRL_TYPE_MENU;
    if (name == "button")
        return V4L2_CTRL_TYPE_BUTTON;
    if (name == "int")
        return V4L2_CTRL_TYPE_INTEGER;
    throw std::runtime_error("unknown control type " + name);
}

uint32_t controlFlags(const json& names)
{
    uint32_t flags = 0;
    for (const auto& n : names) {
        const std::string name = n.get<std::string>();
        if (name == "read-only")
            flags |= V4L2_CTRL_FLAG_READ_ONLY;
        else if (name == "inactive")
            flags |= V4L2_CTRL_FLAG_INACTIVE;
        else if (name == "disabled")
            flags |= V4L2_CTRL_FLAG_DISABLED;
        else
            throw std::runtime_error("unknown control flag " + name);
    }
    return flags;
}

int errnoOf(const std::string& name)
{
    if (name.empty())
        return 0;
    if (name == "EBUSY")
        return EBUSY;
    if (name == "EACCES")
        return EACCES;
    if (name == "ENOENT")
        return ENOENT;
    throw std::runtime_error("unknown fail_open " + name);
}

DeviceConfig::Control parseControl(const json& c)
{
    DeviceConfig::Control control;
    control.id = c.at("id").get<uint32_t>();
    control.name = c.value("name", std::string("Control"));
    control.type = controlType(c.value("type", std::string("int")));
    control.flags = controlFlags(c.value("flags", json::array()));
    if (control.type == V4L2_CTRL_TYPE_MENU)
        control.menu = c.at("menu").get<std::vector<std::string>>();
    int32_t maximum = 0;
    if (control.type == V4L2_CTRL_TYPE_BOOLEAN)
        maximum = 1;
    else if (control.type == V4L2_CTRL_TYPE_MENU)
        maximum = int32_t(control.menu.size()) - 1;
    control.minimum = c.value("min", 0);
    control.maximum = c.value("max", maximum);
    control.step = control.type == V4L2_CTRL_TYPE_BUTTON ? 0 : c.value("step", 1);
    control.defaultValue = c.value("default", control.minimum);
    control.value = c.value("value", control.defaultValue);
    if (control.type == V4L2_CTRL_TYPE_BUTTON) {
        control.minimum = control.maximum = control.defaultValue = control.value = 0;
        control.flags |= V4L2_CTRL_FLAG_WRITE_ONLY | V4L2_CTRL_FLAG_EXECUTE_ON_WRITE;
    }
    return control;
}

std::shared_ptr<const DeviceConfig> parseDevice(const json& d)
{
    auto device = std::make_shared<DeviceConfig>();
    device->entryText = d.dump();
    device->node = d.at("node").get<std::string>();
    device->card = d.value("card", std::string("Fake Camera"));
    device->driver = d.value("driver", std::string("uvcvideo"));
    device->bus = d.value("bus", std::string("usb-0000:00:14.0-1"));
    for (const auto& f : d.at("formats")) {
        DeviceConfig::Format format;
        format.fourcc = fourccOf(f.at("fourcc").get<std::string>());
        for (const auto& s : f.at("sizes")) {
            DeviceConfig::Size size;
            size.width = s.at("width").get<uint32_t>();
            size.height = s.at("height").get<uint32_t>();
            size.fps = s.at("fps").get<std::vector<uint32_t>>();
            if (size.width == 0 || size.height == 0 || size.fps.empty())
                throw std::runtime_error("a size needs width, height and at least one fps");
            for (uint32_t fps : size.fps)
                if (fps == 0)
                    throw std::runtime_error("fps must be positive");
            format.sizes.push_back(size);
        }
        if (format.sizes.empty())
            throw std::runtime_error("a format needs sizes");
        device->formats.push_back(format);
    }
    if (device->formats.empty())
        throw std::runtime_error("a device needs formats");
    const json current = d.value("current", json::object());
    const DeviceConfig::Format& first = device->formats.front();
    device->fourcc
        = current.contains("fourcc") ? fourccOf(current["fourcc"].get<std::string>()) : first.fourcc;
    device->width = current.value("width", first.sizes.front().width);
    device->height = current.value("height", first.sizes.front().height);
    device->fps = current.value("fps", first.sizes.front().fps.front());
    for (const auto& c : d.value("controls", json::array()))
        device->controls.push_back(parseControl(c));
    device->failOpenErrno = errnoOf(d.value("fail_open", std::string()));
    device->unplugAfterFrames = d.value("unplug_after_frames", uint64_t(0));
    for (const auto& r : d.value("rate_changes", json::array()))
        device->rateChanges.push_back({ r.at("after_frames").get<uint64_t>(), r.at("fps").get<uint32_t>() });
    return device;
}

} // namespace

DeviceList parseDeviceList(const std::string& jsonText)
{
    DeviceList devices;
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "karvex-fake-v4l2: configuration is not JSON: %s\n", e.what());
        return devices;
    }
    if (!root.is_object() || !root.contains("devices") || !root["devices"].is_array())
        return devices;
    for (const auto& d : root["devices"]) {
        try {
            devices.push_back(parseDevice(d));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "karvex-fake-v4l2: device entry left out: %s\n", e.what());
        }
    }
    return devices;
}
