#include "DeviceMonitor.h"

#include <QDebug>
#include <QSocketNotifier>

#include <libudev.h>

namespace {
const char kVideoSubsystem[] = "video4linux";
const char kHidSubsystem[] = "hidraw";
} // namespace

DeviceMonitor::DeviceMonitor(QObject* parent)
    : QObject(parent)
    , m_udev(udev_new(), &udev_unref)
    , m_monitor(nullptr, &udev_monitor_unref)
{
    m_settle.setSingleShot(true);
    // A coarse timer may fire early, inside the multimedia layer's cache time.
    m_settle.setTimerType(Qt::PreciseTimer);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &DeviceMonitor::onSettled);

    // "udev" rather than "kernel" events: they come after udev's rules ran, so a new node
    // already has the permissions it will keep.
    if (m_udev)
        m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
    if (!m_monitor
        || udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), kVideoSubsystem, nullptr) < 0
        || udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), kHidSubsystem, nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor.get()) < 0 || udev_monitor_get_fd(m_monitor.get()) < 0) {
        qDebug("No udev device monitor: cameras plugged in appear on Refresh only");
        m_monitor.reset();
        return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor.get()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceMonitor::onReadable);
}

DeviceMonitor::~DeviceMonitor()
{
    // The notifier must not watch a descriptor the monitor has closed.
    delete m_notifier;
}

void DeviceMonitor::onReadable()
{
    // The monitor's socket does not block: take everything that is queued.
    while (true) {
        std::unique_ptr<udev_device, udev_device* (*)(udev_device*)> device(
            udev_monitor_receive_device(m_monitor.get()), &udev_device_unref);
        if (!device)
            break;
        const char* action = udev_device_get_action(device.get());
        const char* subsystem = udev_device_get_subsystem(device.get());
        const char* node = udev_device_get_devnode(device.get());
        if (action && subsystem && node && qstrcmp(action, "remove") == 0
            && qstrcmp(subsystem, kVideoSubsystem) == 0)
            m_removed << QString::fromLocal8Bit(node);
        m_settle.start();
    }
}

void DeviceMonitor::onSettled()
{
    const QStringList removed = m_removed;
    m_removed.clear();
    emit devicesChanged(removed);
}
