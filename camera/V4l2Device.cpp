#include "V4l2Device.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

std::unique_ptr<V4l2Device> V4l2Device::open(const QString& nodePath)
{
    if (nodePath.isEmpty())
        return nullptr;
    // Non-blocking: the capture side may hold the same node open and streaming.
    const int fd = ::open(QFile::encodeName(nodePath).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<V4l2Device>(new V4l2Device(fd));
}

V4l2Device::V4l2Device(int fd)
    : m_fd(fd)
{ }

V4l2Device::~V4l2Device()
{
    ::close(m_fd);
}

bool V4l2Device::call(unsigned long request, void* arg)
{
    int r;
    do {
        r = ::ioctl(m_fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r >= 0;
}

bool V4l2Device::queryControl(v4l2_queryctrl& query)
{
    return call(VIDIOC_QUERYCTRL, &query);
}

bool V4l2Device::queryMenu(v4l2_querymenu& item)
{
    return call(VIDIOC_QUERYMENU, &item);
}

bool V4l2Device::getControl(v4l2_control& control)
{
    return call(VIDIOC_G_CTRL, &control);
}

bool V4l2Device::setControl(v4l2_control& control)
{
    return call(VIDIOC_S_CTRL, &control);
}
