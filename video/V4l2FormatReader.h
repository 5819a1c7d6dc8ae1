#pragma once

#include "CaptureFormat.h"

#include <QByteArray>

// Asks a V4L2 capture node which formats, sizes and rates it can send
// (VIDIOC_ENUM_FMT, VIDIOC_ENUM_FRAMESIZES, VIDIOC_ENUM_FRAMEINTERVALS).
class V4l2FormatReader
{
public:
    // Every (format, size, interval) the node offers; empty when it cannot be opened or
    // answers none of the calls.
    static CaptureFormats read(const QByteArray& nodePath);

private:
    explicit V4l2FormatReader(int fd);
    bool call(unsigned long request, void* arg) const;
    void addSizes(CaptureFormat format, CaptureFormats& out) const;
    void addIntervals(CaptureFormat format, CaptureFormats& out) const;

    int m_fd;
};
