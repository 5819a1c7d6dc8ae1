#include "UsbCamHID.h"

#include <QDebug>
#include <QMutexLocker>

#include <hidapi.h>

namespace {
constexpr unsigned short CameraVendorId = 0x3F1C;
constexpr unsigned short CameraProductId = 0x5501;
constexpr int PollIntervalMs = 10;
} // namespace

UsbCamHID::UsbCamHID(QObject* parent)
    : QObject(parent)
{
    connect(&m_pollTimer, &QTimer::timeout, this, &UsbCamHID::onTimeRead);
    m_pollTimer.start(PollIntervalMs);
}

UsbCamHID::~UsbCamHID()
{
    QMutexLocker locker(&m_lock);
    m_devices.clear();
    m_pollTimer.disconnect();
    m_pollTimer.stop();
}

unsigned short UsbCamHID::openDevices()
{
    QMutexLocker locker(&m_lock);
    m_devices.clear();

    unsigned short release = 0;
    const hid::DeviceInfoListPtr all(hid_enumerate(0, 0));
    for (const hid_device_info* info = all.get(); info; info = info->next) {
        if (info->vendor_id != CameraVendorId || info->product_id != CameraProductId || !info->path)
            continue;
        hid::DevicePtr device(hid_open_path(info->path));
        if (!device)
            continue;
        release = info->release_number;
        hid_set_nonblocking(device.get(), 1);
        // hidraw lists an interface once per usage, so a path can come again: keep one
        // handle per path (the older one is closed), otherwise every key arrives twice.
        m_devices[QByteArray(info->path)] = std::move(device);
    }
    return release;
}

void UsbCamHID::onTimeRead()
{
    QMutexLocker locker(&m_lock);
    // By path, not by iterator: a slot of btnClicked may rescan and so replace the map.
    QList<QByteArray> paths;
    for (const auto& entry : m_devices)
        paths << entry.first;
    for (const QByteArray& path : qAsConst(paths)) {
        const auto found = m_devices.find(path);
        if (found == m_devices.end() || !found->second)
            continue;
        hid_device* device = found->second.get();
        unsigned char key = 0;
        if (hid_read(device, &key, 1) <= 0)
            continue;
        qDebug("Got camera key: %c", key);
        switch (key) {
        case 'S':
            emit btnClicked(1);
            break;
        case 'V':
            emit btnClicked(2);
            break;
        case 'W':
            emit btnClicked(3);
            break;
        default:
            break;
        }
    }
}
