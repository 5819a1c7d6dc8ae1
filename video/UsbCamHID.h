#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QRecursiveMutex>
#include <QTimer>

typedef struct hid_device_ hid_device;

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
    void closeAll();

    QTimer m_pollTimer;
    // Keeps a poll and a rescan from interleaving; btnClicked is emitted with it held.
    QRecursiveMutex m_lock;
    // Device path → open handle, owned.
    QMap<QByteArray, hid_device*> m_devices;
};
