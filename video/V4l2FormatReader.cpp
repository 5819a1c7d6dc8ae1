#include "V4l2FormatReader.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// Bounds every enumeration: a driver that never ends a list must not hang the caller.
constexpr quint32 kMaxEntries = 256;

// Closes the descriptor when the read is done, whichever way it ends.
struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

CaptureFormats V4l2FormatReader::read(const QByteArray& nodePath)
{
    if (nodePath.isEmpty())
        return {};
    // Non-blocking: another program (or our own capture) may be streaming from the node.
    const FdCloser node { ::open(nodePath.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC) };
    if (node.fd < 0)
        return {};
    const V4l2FormatReader reader(node.fd);

    CaptureFormats formats;
    for (quint32 index = 0; index < kMaxEntries; ++index) {
        v4l2_fmtdesc description {};
        description.index = index;
        description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (!reader.call(VIDIOC_ENUM_FMT, &description))
            break;
        CaptureFormat format;
        format.fourcc = description.pixelformat;
        format.compressed = description.flags & V4L2_FMT_FLAG_COMPRESSED;
        reader.addSizes(format, formats);
    }
    return formats;
}

V4l2FormatReader::V4l2FormatReader(int fd)
    : m_fd(fd)
{ }

bool V4l2FormatReader::call(unsigned long request, void* arg) const
{
    int result;
    do {
        result = ::ioctl(m_fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result >= 0;
}

void V4l2FormatReader::addSizes(CaptureFormat format, CaptureFormats& out) const
{
    for (quint32 index = 0; index < kMaxEntries; ++index) {
        v4l2_frmsizeenum size {};
        size.index = index;
        size.pixel_format = format.fourcc;
        if (!call(VIDIOC_ENUM_FRAMESIZES, &size))
            return;
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            format.width = int(size.discrete.width);
            format.height = int(size.discrete.height);
            addIntervals(format, out);
            continue;
        }
        // A range of sizes: its largest stands for it.
        format.width = int(size.stepwise.max_width);
        format.height = int(size.stepwise.max_height);
        addIntervals(format, out);
        return;
    }
}

void V4l2FormatReader::addIntervals(CaptureFormat format, CaptureFormats& out) const
{
    for (quint32 index = 0; index < kMaxEntries; ++index) {
        v4l2_frmivalenum interval {};
        interval.index = index;
        interval.pixel_format = format.fourcc;
        interval.width = quint32(format.width);
        interval.height = quint32(format.height);
        if (!call(VIDIOC_ENUM_FRAMEINTERVALS, &interval))
            return;
        if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            format.intervalNumerator = interval.discrete.numerator;
            format.intervalDenominator = interval.discrete.denominator;
            if (format.isValid())
                out.append(format);
            continue;
        }
        // A range of rates: its fastest and its slowest end.
        for (const v4l2_fract& end : { interval.stepwise.min, interval.stepwise.max }) {
            format.intervalNumerator = end.numerator;
            format.intervalDenominator = end.denominator;
            if (format.isValid() && !out.contains(format))
                out.append(format);
        }
        return;
    }
}
