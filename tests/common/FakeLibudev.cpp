#include "FakeLibudev.h"

#include <libudev.h>

#include <QList>
#include <QQueue>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

// The monitor is read on the GUI thread only, so the stand-in needs no lock.
struct udev {
    int refs = 1;
};

struct udev_device {
    QByteArray action;
    QByteArray subsystem;
    QByteArray devnode;
};

struct udev_monitor {
    int pipe[2] = { -1, -1 };
    QStringList subsystems;
    bool receiving = false;
    QQueue<udev_device> events;
};

namespace {
struct State {
    QList<udev_monitor*> monitors;
    QStringList lastSubscribed;
    bool available = true;
};

State& state()
{
    static State s;
    return s;
}
} // namespace

namespace FakeUdev {
void sendEvent(const QByteArray& action, const QByteArray& subsystem, const QByteArray& devnode)
{
    for (udev_monitor* monitor : qAsConst(state().monitors)) {
        if (!monitor->receiving || !monitor->subsystems.contains(QString::fromLatin1(subsystem)))
            continue;
        monitor->events.enqueue({ action, subsystem, devnode });
        // One byte per event makes the descriptor readable until every event was received.
        const char byte = 'e';
        if (::write(monitor->pipe[1], &byte, 1) != 1)
            qFatal("FakeUdev: the monitor's pipe is full");
    }
}

int openMonitorCount()
{
    return state().monitors.size();
}

QStringList subscribedSubsystems()
{
    return state().lastSubscribed;
}

void setAvailable(bool available)
{
    state().available = available;
}
} // namespace FakeUdev

extern "C" {

struct udev* udev_new(void)
{
    return state().available ? new udev : nullptr;
}

struct udev* udev_unref(struct udev* udev)
{
    if (udev && --udev->refs == 0)
        delete udev;
    return nullptr;
}

struct udev_monitor* udev_monitor_new_from_netlink(struct udev* udev, const char* name)
{
    if (!udev || qstrcmp(name, "udev") != 0)
        return nullptr;
    auto* monitor = new udev_monitor;
    if (::pipe2(monitor->pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        qFatal("FakeUdev: no pipe");
    state().monitors << monitor;
    state().lastSubscribed.clear();
    return monitor;
}

int udev_monitor_filter_add_match_subsystem_devtype(
    struct udev_monitor* udev_monitor, const char* subsystem, const char* /*devtype*/)
{
    if (!udev_monitor || !subsystem)
        return -EINVAL;
    udev_monitor->subsystems << QString::fromLatin1(subsystem);
    state().lastSubscribed = udev_monitor->subsystems;
    return 0;
}

int udev_monitor_enable_receiving(struct udev_monitor* udev_monitor)
{
    if (!udev_monitor)
        return -EINVAL;
    udev_monitor->receiving = true;
    return 0;
}

int udev_monitor_get_fd(struct udev_monitor* udev_monitor)
{
    return udev_monitor ? udev_monitor->pipe[0] : -EINVAL;
}

struct udev_device* udev_monitor_receive_device(struct udev_monitor* udev_monitor)
{
    char byte = 0;
    // Like the real socket, the pipe does not block: nothing queued gives no device.
    if (!udev_monitor || ::read(udev_monitor->pipe[0], &byte, 1) != 1 || udev_monitor->events.isEmpty())
        return nullptr;
    return new udev_device(udev_monitor->events.dequeue());
}

struct udev_monitor* udev_monitor_unref(struct udev_monitor* udev_monitor)
{
    if (!udev_monitor)
        return nullptr;
    state().monitors.removeAll(udev_monitor);
    ::close(udev_monitor->pipe[0]);
    ::close(udev_monitor->pipe[1]);
    delete udev_monitor;
    return nullptr;
}

const char* udev_device_get_action(struct udev_device* udev_device)
{
    return udev_device ? udev_device->action.constData() : nullptr;
}

const char* udev_device_get_subsystem(struct udev_device* udev_device)
{
    return udev_device ? udev_device->subsystem.constData() : nullptr;
}

const char* udev_device_get_devnode(struct udev_device* udev_device)
{
    return udev_device && !udev_device->devnode.isEmpty() ? udev_device->devnode.constData() : nullptr;
}

struct udev_device* udev_device_unref(struct udev_device* udev_device)
{
    delete udev_device;
    return nullptr;
}

} // extern "C"
