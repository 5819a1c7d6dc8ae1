#pragma once

#include <QByteArray>

// Scripted stand-in for the hidapi C functions: tests link it instead of the hidraw backend
// and describe the devices and the reports they send. Every entry point keeps hidapi's own
// signature (see hidapi.h), so the code under test is compiled exactly as for the program.
namespace FakeHid {
// Forgets every device, queued report and handle count; the library is left uninitialised.
void reset();
// Adds an enumeration entry. Adding an already known path again adds one more entry for
// the same interface, as hidraw does for an interface with several usages.
void addDevice(
    const QByteArray& path, unsigned short vendorId, unsigned short productId, unsigned short releaseNumber);
// Unplugs a device: it leaves the enumeration and reads on its open handles fail, also after
// the device is added again (only a new handle reads then).
void removeDevice(const QByteArray& path);
// Queues one input report on a device; each read takes the oldest one.
void pushReport(const QByteArray& path, const QByteArray& report);
// Handles opened and not yet closed.
int openHandleCount();
// Between hid_init and hid_exit.
bool isInitialised();
} // namespace FakeHid
