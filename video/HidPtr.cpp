#include "HidPtr.h"

#include <hidapi.h>

namespace hid {
void DeviceDeleter::operator()(hid_device* device) const
{
    hid_close(device);
}

void DeviceInfoDeleter::operator()(hid_device_info* list) const
{
    hid_free_enumeration(list);
}

Library::Library()
{
    // A failed init only means the enumeration finds nothing later.
    hid_init();
}

Library::~Library()
{
    hid_exit();
}
} // namespace hid
