#pragma once

#include <memory>

typedef struct hid_device_ hid_device;
struct hid_device_info;

// Single owners for hidapi objects, each freed by hidapi's own call; the deleters are defined
// out of line to keep hidapi's header out of ours.
namespace hid {
struct DeviceDeleter {
    void operator()(hid_device* device) const;
};
struct DeviceInfoDeleter {
    void operator()(hid_device_info* list) const;
};

using DevicePtr = std::unique_ptr<hid_device, DeviceDeleter>;
// The list hid_enumerate returns.
using DeviceInfoListPtr = std::unique_ptr<hid_device_info, DeviceInfoDeleter>;

// Holds hidapi initialised for its lifetime: hid_init on construction, hid_exit on
// destruction. hidapi does not count these, so only one may live at a time.
class Library
{
public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};
} // namespace hid
