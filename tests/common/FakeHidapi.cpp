#include "FakeHidapi.h"

#include <hidapi.h>

#include <QList>
#include <QMap>
#include <QQueue>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

struct hid_device_ {
    QByteArray path;
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
    bool present = true;
    QQueue<QByteArray> reports;
};

struct State {
    std::recursive_mutex lock;
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
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.entries.clear();
    s.devices.clear();
    s.openHandles = 0;
    s.initialised = false;
}

void addDevice(
    const QByteArray& path, unsigned short vendorId, unsigned short productId, unsigned short releaseNumber)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.entries.append({ path, vendorId, productId, releaseNumber });
    s.devices[path].present = true;
}

void removeDevice(const QByteArray& path)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    for (int i = s.entries.size() - 1; i >= 0; --i) {
        if (s.entries.at(i).path == path)
            s.entries.removeAt(i);
    }
    if (s.devices.contains(path)) {
        s.devices[path].present = false;
        s.devices[path].reports.clear();
    }
}

void pushReport(const QByteArray& path, const QByteArray& report)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.devices.contains(path) && s.devices[path].present)
        s.devices[path].reports.enqueue(report);
}

int openHandleCount()
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.openHandles;
}

bool isInitialised()
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.initialised;
}

} // namespace FakeHid

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.initialised = true;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.initialised = false;
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(
    unsigned short vendor_id, unsigned short product_id)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    hid_device_info* first = nullptr;
    hid_device_info** tail = &first;
    for (const Entry& entry : qAsConst(s.entries)) {
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
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    const QByteArray key(path);
    if (!s.devices.contains(key) || !s.devices[key].present)
        return nullptr;
    ++s.openHandles;
    return new hid_device_ { key };
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock)
{
    dev->nonBlocking = nonblock != 0;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length)
{
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    Device& device = s.devices[dev->path];
    if (!device.present)
        return -1;
    if (device.reports.isEmpty()) {
        // A blocking read with nothing queued would hang the caller for good; fail loudly.
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
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    --s.openHandles;
    delete dev;
}

} // extern "C"
