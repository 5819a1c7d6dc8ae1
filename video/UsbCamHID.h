#pragma once

#include "HidPtr.h"

#include <QByteArray>
#include <QObject>
#include <QRecursiveMutex>
#include <QTimer>

#include <map>

// The camera's key interface: every matching HID interface (vendor 0x3F1C, product 0x5501)
// is opened and polled every 10 ms; key letters become btnClicked ids 1, 2 and 3.
class UsbCamHID : public QObject
{
    Q_OBJECT
public:
    explicit UsbCamHID(QObject* parent = nullptr);
    ~UsbCamHID() override;

    // Closes and reopens all camera key interfaces; the release number of the last one
    // opened, or 0.
    unsigned short openDevices();

signals:
    void btnClicked(int id);

private slots:
    void onTimeRead();

private:
    // First member: hidapi is shut down only after every device below was closed.
    hid::Library m_library;
    QTimer m_pollTimer;
    // Guards m_devices: keeps a poll and a rescan from interleaving. btnClicked is emitted
    // with it held (recursive: a slot may rescan).
    QRecursiveMutex m_lock;
    // Device path → open handle.
    std::map<QByteArray, hid::DevicePtr> m_devices;
};
