#pragma once

#include <QByteArray>
#include <QStringList>

// Scripted stand-in for the libudev device monitor: tests link it instead of libudev and send
// device events, which arrive on the monitor's descriptor (a pipe) like netlink messages do.
// Every entry point keeps libudev's own signature (see libudev.h), so the code under test is
// compiled exactly as for the program.
namespace FakeUdev {
// Sends one event (action "add" or "remove") to every monitor that receives the subsystem.
void sendEvent(const QByteArray& action, const QByteArray& subsystem, const QByteArray& devnode);
// Monitors created and not yet released.
int openMonitorCount();
// The subsystems the newest monitor asked for, in the order asked.
QStringList subscribedSubsystems();
// Whether udev_new succeeds (as it does unless the test says otherwise).
void setAvailable(bool available);
} // namespace FakeUdev
