#pragma once

#include "V4l2Controls.h"

// The control ioctls on a real video device node, open for the life of the object.
class V4l2Device : public V4l2Controls
{
public:
    // Null when the node cannot be opened.
    static std::unique_ptr<V4l2Device> open(const QString& nodePath);
    ~V4l2Device() override;

    V4l2Device(const V4l2Device&) = delete;
    V4l2Device& operator=(const V4l2Device&) = delete;

    bool queryControl(v4l2_queryctrl& query) override;
    bool queryMenu(v4l2_querymenu& item) override;
    bool getControl(v4l2_control& control) override;
    bool setControl(v4l2_control& control) override;

private:
    explicit V4l2Device(int fd);
    bool call(unsigned long request, void* arg);

    int m_fd;
};
