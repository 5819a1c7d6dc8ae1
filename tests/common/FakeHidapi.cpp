#include "FakeHidapi.h"

#include <hidapi.h>

#include <QList>
#include <QMap>
#include <QQueue>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The key link runs on the GUI thread only, so the stand-in needs no lock.
struct hid_device_ {
    QByteArray path;
    int plug = 0; // the device's plug-in this handle was opened on
    bool nonBlocking = false;
};

namespace {
struct Entry {
    QByteArray path;
    unsigned short vendorId;
    unsigned short productId;
    unsigned short releaseNumber;
};

struct Device {
    bool present = false; // unknown paths are absent
    int plug = 0; // counts plug-ins: a handle of an earlier one stays dead
    QQueue<QByteArray> reports;
};

struct State {
    QList<Entry> entries;
    QMap<QByteArray, Device> devices;
    int openHandles = 0;
    bool initialised = false;
};

State& state()
{
    static State s;
    return s;
}
} // namespace

namespace FakeHid {
void reset()
{
    state() = State();
}

void addDevice(
    const QByteArray& path, unsigned short vendorId, unsigned short productId, unsigned short releaseNumber)
{
    state().entries.append({ path, vendorId, productId, releaseNumber });
    Device& device = state().devices[path];
    if (!device.present)
        ++device.plug;
    device.present = true;
}

void removeDevice(const QByteArray& path)
{
    QList<Entry>& entries = state().entries;
    entries.erase(
        std::remove_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.path == path; }),
        entries.end());
    if (state().devices.contains(path)) {
        // Open handles now fail to read, also once the device is back (as hidraw's do).
        const int plug = state().devices[path].plug;
        state().devices[path] = Device();
        state().devices[path].plug = plug;
    }
}

void pushReport(const QByteArray& path, const QByteArray& report)
{
    if (state().devices.value(path).present)
        state().devices[path].reports.enqueue(report);
}

int openHandleCount()
{
    return state().openHandles;
}

bool isInitialised()
{
    return state().initialised;
}
} // namespace FakeHid

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    state().initialised = true;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    state().initialised = false;
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(
    unsigned short vendor_id, unsigned short product_id)
{
    hid_device_info* first = nullptr;
    hid_device_info** tail = &first;
    for (const Entry& entry : qAsConst(state().entries)) {
        if ((vendor_id && entry.vendorId != vendor_id) || (product_id && entry.productId != product_id))
            continue;
        auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(entry.path.constData());
        info->vendor_id = entry.vendorId;
        info->product_id = entry.productId;
        info->release_number = entry.releaseNumber;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
    }
    return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path)
{
    if (!state().devices.value(path).present)
        return nullptr;
    ++state().openHandles;
    return new hid_device_ { path, state().devices.value(path).plug };
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock)
{
    dev->nonBlocking = nonblock != 0;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length)
{
    Device& device = state().devices[dev->path];
    if (!device.present || device.plug != dev->plug)
        return -1;
    if (device.reports.isEmpty()) {
        // A blocking read with nothing queued would hang the caller for good.
        if (!dev->nonBlocking)
            qFatal("FakeHid: blocking hid_read on %s with no report queued", dev->path.constData());
        return 0;
    }
    const QByteArray report = device.reports.dequeue();
    const size_t n = std::min(length, size_t(report.size()));
    std::memcpy(data, report.constData(), n);
    return int(n);
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev)
{
    if (!dev)
        return;
    --state().openHandles;
    delete dev;
}

} // extern "C"
