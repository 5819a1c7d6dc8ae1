#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Tells when video capture devices or HID interfaces (the camera keys) come or go, from
// udev's event stream: no device is polled. A burst of events (one USB camera brings a
// video node, a metadata node and a HID interface, each added in turn) is reported once,
// after the devices have settled.
class DeviceMonitor : public QObject
{
    Q_OBJECT
public:
    // Quiet time after the last event before devicesChanged is emitted. Qt's multimedia layer
    // answers the camera list from a cache for 500 ms after it last read the devices: waiting
    // longer than that after the last event makes the next read see the change.
    static constexpr int kSettleMs = 600;

    explicit DeviceMonitor(QObject* parent = nullptr);
    ~DeviceMonitor() override;

    // False when udev could not be reached (then only Refresh updates the device list).
    bool isWatching() const { return m_monitor != nullptr; }

signals:
    // Once per burst; removedNodes are the video device nodes that went in it.
    void devicesChanged(const QStringList& removedNodes);

private:
    void onReadable();
    void onSettled();

    std::unique_ptr<udev, udev* (*)(udev*)> m_udev;
    std::unique_ptr<udev_monitor, udev_monitor* (*)(udev_monitor*)> m_monitor;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_settle;
    QStringList m_removed;
};
