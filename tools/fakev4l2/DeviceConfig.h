#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One emulated camera as the JSON entry describes it (see FakeV4l2.h for the format).
struct DeviceConfig {
    struct Size {
        uint32_t width = 0;
        uint32_t height = 0;
        std::vector<uint32_t> fps;
    };
    struct Format {
        uint32_t fourcc = 0;
        std::vector<Size> sizes;
    };
    struct Control {
        uint32_t id = 0;
        std::string name;
        uint32_t type = 0; // V4L2_CTRL_TYPE_*
        int32_t minimum = 0;
        int32_t maximum = 0;
        int32_t step = 1;
        int32_t defaultValue = 0;
        int32_t value = 0;
        uint32_t flags = 0; // V4L2_CTRL_FLAG_*
        std::vector<std::string> menu;
    };
    struct RateChange {
        uint64_t afterFrames = 0;
        uint32_t fps = 0;
    };

    std::string node;
    std::string card;
    std::string driver;
    std::string bus;
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fps = 0;
    std::vector<Format> formats;
    std::vector<Control> controls;
    int failOpenErrno = 0;
    uint64_t unplugAfterFrames = 0;
    std::vector<RateChange> rateChanges;
    // The entry as written: a node whose entry changed was replugged.
    std::string entryText;
};

// The devices of one configuration file.
using DeviceList = std::vector<std::shared_ptr<const DeviceConfig>>;

// Parses the configuration text; malformed entries are reported on stderr and left out.
DeviceList parseDeviceList(const std::string& jsonText);
