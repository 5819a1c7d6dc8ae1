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
    // A failed init only means the enumeration finds nothing later.
    hid_init();
    connect(&m_pollTimer, &QTimer::timeout, this, &UsbCamHID::onTimeRead);
    m_pollTimer.start(PollIntervalMs);
}

UsbCamHID::~UsbCamHID()
{
    QMutexLocker locker(&m_lock);
    closeAll();
    m_pollTimer.disconnect();
    m_pollTimer.stop();
    hid_exit();
}

void UsbCamHID::closeAll()
{
    for (hid_device* device : qAsConst(m_devices))
        hid_close(device);
    m_devices.clear();
}

unsigned short UsbCamHID::openDevices()
{
    QMutexLocker locker(&m_lock);
    closeAll();

    unsigned short release = 0;
    hid_device_info* all = hid_enumerate(0, 0);
    for (const hid_device_info* info = all; info; info = info->next) {
        if (info->vendor_id != CameraVendorId || info->product_id != CameraProductId || !info->path)
            continue;
        hid_device* device = hid_open_path(info->path);
        if (!device)
            continue;
        release = info->release_number;
        hid_set_nonblocking(device, 1);
        // hidraw lists an interface once per usage, so a path can come again: keep one
        // handle per path, otherwise the older one leaks and every key arrives twice.
        const QByteArray path(info->path);
        if (hid_device* previous = m_devices.value(path))
            hid_close(previous);
        m_devices.insert(path, device);
    }
    hid_free_enumeration(all);
    return release;
}

void UsbCamHID::onTimeRead()
{
    QMutexLocker locker(&m_lock);
    const QList<QByteArray> paths = m_devices.keys();
    for (const QByteArray& path : paths) {
        hid_device* device = m_devices.value(path);
        if (!device)
            continue;
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
