#include "FakeNode.h"

#include "FakeV4l2.h"
#include "FramePicture.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

namespace {

// As uvcvideo: at most 32 buffers.
constexpr uint32_t kMaxBuffers = 32;

int64_t monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string fourccText(uint32_t fourcc)
{
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += char((fourcc >> (8 * i)) & 0xff);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string describe(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG:
        return "Motion-JPEG";
    case V4L2_PIX_FMT_YUYV:
        return "YUYV 4:2:2";
    default:
        return fourccText(fourcc);
    }
}

// One line per call, appended and closed at once, so a reader sees it immediately.
void writeLog(const std::string& line)
{
    const char* path = getenv("KARVEX_FAKE_V4L2_LOG");
    if (!path || !*path)
        return;
    const int fd = fakev4l2_real_open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) < 0) {
        // Nothing to do: the log is a test aid.
    }
    fakev4l2_real_close(fd);
}

const DeviceConfig::Format* findFormat(const DeviceConfig& config, uint32_t fourcc)
{
    for (const auto& f : config.formats)
        if (f.fourcc == fourcc)
            return &f;
    return nullptr;
}

// uvcvideo's choice: the offered size with the least area outside the overlap.
const DeviceConfig::Size& nearestSize(const DeviceConfig::Format& format, uint32_t width, uint32_t height)
{
    const DeviceConfig::Size* best = &format.sizes.front();
    uint64_t bestDistance = UINT64_MAX;
    for (const auto& s : format.sizes) {
        const uint64_t overlap = uint64_t(std::min(s.width, width)) * std::min(s.height, height);
        const uint64_t distance = uint64_t(s.width) * s.height + uint64_t(width) * height - 2 * overlap;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &s;
        }
    }
    return *best;
}

// The offered rate whose interval is nearest to numerator/denominator seconds.
uint32_t nearestFps(const DeviceConfig::Size& size, uint32_t numerator, uint32_t denominator)
{
    const double wanted = denominator ? double(numerator) / denominator : 1e9;
    uint32_t best = size.fps.front();
    for (uint32_t fps : size.fps)
        if (std::abs(1.0 / fps - wanted) < std::abs(1.0 / best - wanted))
            best = fps;
    return best;
}

// One picture cache for the process: a replugged camera need not encode its frames again.
FramePicture& sharedPicture()
{
    static FramePicture* shared = new FramePicture;
    return *shared;
}

// YUYV exactly (FFmpeg checks it); MJPEG gets the same room, as UVC cameras announce.
uint32_t imageBytes(uint32_t width, uint32_t height)
{
    return width * height * 2;
}

void fillPixFormat(v4l2_format& format, uint32_t fourcc, uint32_t width, uint32_t height)
{
    std::memset(&format.fmt.pix, 0, sizeof format.fmt.pix);
    format.fmt.pix.width = width;
    format.fmt.pix.height = height;
    format.fmt.pix.pixelformat = fourcc;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.bytesperline = fourcc == V4L2_PIX_FMT_MJPEG ? 0 : width * 2;
    format.fmt.pix.sizeimage = imageBytes(width, height);
    format.fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

} // namespace

FakeNode::FakeNode(std::shared_ptr<const DeviceConfig> config)
    : m_config(std::move(config))
    , m_controls(m_config->controls)
{
    // The current format goes through the driver's adjustment like any S_FMT.
    const DeviceConfig::Format* format = findFormat(*m_config, m_config->fourcc);
    if (!format)
        format = &m_config->formats.front();
    const DeviceConfig::Size& size = nearestSize(*format, m_config->width, m_config->height);
    m_fourcc = format->fourcc;
    m_width = size.width;
    m_height = size.height;
    m_fps = nearestFps(size, 1, m_config->fps);
}

FakeNode::~FakeNode()
{
    freeBuffers();
}

uint32_t FakeNode::sizeImage() const
{
    return imageBytes(m_width, m_height);
}

void FakeNode::fillFormat(v4l2_format& format) const
{
    fillPixFormat(format, m_fourcc, m_width, m_height);
}

int FakeNode::formatIoctl(unsigned long request, v4l2_format& format)
{
    if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    if (request == VIDIOC_G_FMT) {
        fillFormat(format);
        return 0;
    }
    if (request == VIDIOC_S_FMT && (m_streaming || !m_buffers.empty()))
        return EBUSY;
    const DeviceConfig::Format* f = findFormat(*m_config, format.fmt.pix.pixelformat);
    if (!f)
        f = &m_config->formats.front();
    const DeviceConfig::Size& size = nearestSize(*f, format.fmt.pix.width, format.fmt.pix.height);
    // The interval stays as near to the current one as the new size allows.
    const uint32_t fps = nearestFps(size, 1, m_fps);
    if (request == VIDIOC_TRY_FMT) {
        fillPixFormat(format, f->fourcc, size.width, size.height);
        return 0;
    }
    m_fourcc = f->fourcc;
    m_width = size.width;
    m_height = size.height;
    m_fps = fps;
    fillFormat(format);
    writeLog(
        "S_FMT " + fourccText(m_fourcc) + " " + std::to_string(m_width) + "x" + std::to_string(m_height));
    return 0;
}

int FakeNode::parmIoctl(unsigned long request, v4l2_streamparm& parm)
{
    if (parm.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    if (request == VIDIOC_S_PARM) {
        if (m_streaming)
            return EBUSY;
        const DeviceConfig::Size& size = nearestSize(*findFormat(*m_config, m_fourcc), m_width, m_height);
        const v4l2_fract wanted = parm.parm.capture.timeperframe;
        m_fps = nearestFps(size, wanted.numerator, wanted.denominator);
        writeLog("S_PARM 1/" + std::to_string(m_fps));
    }
    std::memset(&parm.parm, 0, sizeof parm.parm);
    parm.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    parm.parm.capture.timeperframe = { 1, m_fps };
    parm.parm.capture.readbuffers = 0;
    return 0;
}

void FakeNode::freeBuffers()
{
    if (m_mapping)
        munmap(m_mapping, m_bufferLength * m_buffers.size());
    if (m_memory >= 0)
        fakev4l2_real_close(m_memory);
    m_mapping = nullptr;
    m_memory = -1;
    m_buffers.clear();
    m_queue.clear();
    m_streaming = false;
    m_owner = -1;
}

int FakeNode::requestBuffers(int fd, v4l2_requestbuffers& request)
{
    if (request.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || request.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    if (isBusy(fd))
        return EBUSY;
    freeBuffers();
    const uint32_t count = std::min(request.count, kMaxBuffers);
    std::memset(request.reserved, 0, sizeof request.reserved);
    request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    request.count = count;
    if (count == 0)
        return 0;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    m_bufferLength = (sizeImage() + page - 1) / page * page;
    m_memory = memfd_create("karvex-fake-v4l2-buffers", MFD_CLOEXEC);
    if (m_memory < 0)
        return ENOMEM;
    if (ftruncate(m_memory, off_t(m_bufferLength * count)) < 0) {
        freeBuffers();
        return ENOMEM;
    }
    void* mapping = fakev4l2_real_mmap(
        nullptr, m_bufferLength * count, PROT_READ | PROT_WRITE, MAP_SHARED, m_memory, 0);
    if (mapping == MAP_FAILED) {
        freeBuffers();
        return ENOMEM;
    }
    m_mapping = static_cast<uint8_t*>(mapping);
    m_buffers.resize(count);
    m_owner = fd;
    return 0;
}

int FakeNode::queryBuffer(v4l2_buffer& buffer) const
{
    if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.index >= m_buffers.size())
        return EINVAL;
    const uint32_t index = buffer.index;
    const Buffer& b = m_buffers[index];
    std::memset(&buffer, 0, sizeof buffer);
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.field = V4L2_FIELD_NONE;
    buffer.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE
        | (b.queued ? V4L2_BUF_FLAG_QUEUED : 0);
    buffer.m.offset = uint32_t(index * m_bufferLength);
    buffer.length = uint32_t(m_bufferLength);
    buffer.bytesused = b.bytesUsed;
    buffer.sequence = b.sequence;
    buffer.timestamp = b.timestamp;
    return 0;
}

int FakeNode::queueBuffer(int fd, v4l2_buffer& buffer)
{
    if (isBusy(fd))
        return EBUSY;
    if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.memory != V4L2_MEMORY_MMAP
        || buffer.index >= m_buffers.size() || m_buffers[buffer.index].queued)
        return EINVAL;
    m_buffers[buffer.index].queued = true;
    m_queue.push_back(buffer.index);
    return queryBuffer(buffer);
}

bool FakeNode::unplugDue() const
{
    return m_config->unplugAfterFrames > 0 && m_delivered >= m_config->unplugAfterFrames;
}

bool FakeNode::frameDue(int64_t nowNs) const
{
    return m_streaming && !m_queue.empty() && nowNs >= m_nextDueNs;
}

void FakeNode::fillBuffer(int64_t nowNs, v4l2_buffer& buffer)
{
    // The newest frame that is due: frames a late reader missed are dropped, not piled up.
    const int64_t missed = (nowNs - m_nextDueNs) / m_intervalNs;
    const int64_t captureNs = m_nextDueNs + missed * m_intervalNs;
    const uint32_t index = m_queue.front();
    m_queue.pop_front();
    Buffer& b = m_buffers[index];
    const std::vector<uint8_t>& frame = sharedPicture().frame(m_fourcc, m_width, m_height);
    const size_t bytes = std::min(frame.size(), m_bufferLength);
    std::memcpy(m_mapping + index * m_bufferLength, frame.data(), bytes);
    b.queued = false;
    b.bytesUsed = uint32_t(bytes);
    b.sequence = uint32_t(m_delivered);
    b.timestamp.tv_sec = captureNs / 1000000000;
    b.timestamp.tv_usec = (captureNs % 1000000000) / 1000;
    ++m_delivered;
    for (const auto& change : m_config->rateChanges)
        if (m_delivered == change.afterFrames && change.fps > 0)
            m_intervalNs = 1000000000 / change.fps;
    m_nextDueNs = captureNs + m_intervalNs;
    buffer.index = index;
    queryBuffer(buffer);
}

int FakeNode::dequeueBuffer(int fd, v4l2_buffer& buffer)
{
    if (isBusy(fd))
        return EBUSY;
    if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    if (unplugDue()) {
        m_gone = true;
        return ENODEV;
    }
    if (!m_streaming)
        return EINVAL;
    const int64_t now = monotonicNs();
    if (!frameDue(now))
        return EAGAIN;
    fillBuffer(now, buffer);
    return 0;
}

int FakeNode::streamOn(int fd)
{
    if (isBusy(fd))
        return EBUSY;
    if (m_buffers.empty())
        return EINVAL;
    if (!m_streaming) {
        m_streaming = true;
        m_intervalNs = 1000000000 / m_fps;
        m_nextDueNs = monotonicNs();
        m_delivered = 0;
        writeLog("STREAMON");
    }
    return 0;
}

int FakeNode::streamOff(int fd)
{
    if (isBusy(fd))
        return EBUSY;
    // As vb2: every buffer comes back to the application, dequeued.
    for (auto& b : m_buffers)
        b.queued = false;
    m_queue.clear();
    if (m_streaming) {
        m_streaming = false;
        writeLog("STREAMOFF");
    }
    return 0;
}

int FakeNode::ioctl(int fd, unsigned long request, void* arg)
{
    if (unplugDue())
        m_gone = true;
    if (m_gone)
        return ENODEV;
    if (!arg)
        return EFAULT;
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto& cap = *static_cast<v4l2_capability*>(arg);
        std::memset(&cap, 0, sizeof cap);
        std::strncpy(reinterpret_cast<char*>(cap.driver), m_config->driver.c_str(), sizeof cap.driver - 1);
        std::strncpy(reinterpret_cast<char*>(cap.card), m_config->card.c_str(), sizeof cap.card - 1);
        std::strncpy(reinterpret_cast<char*>(cap.bus_info), m_config->bus.c_str(), sizeof cap.bus_info - 1);
        cap.version = (6 << 16) | (1 << 8);
        cap.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
        cap.capabilities = cap.device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUMINPUT: {
        auto& input = *static_cast<v4l2_input*>(arg);
        if (input.index != 0)
            return EINVAL;
        std::memset(&input, 0, sizeof input);
        std::strcpy(reinterpret_cast<char*>(input.name), "Camera 1");
        input.type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    case VIDIOC_G_INPUT:
        *static_cast<int*>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<int*>(arg) == 0 ? 0 : EINVAL;
    case VIDIOC_ENUM_FMT: {
        auto& desc = *static_cast<v4l2_fmtdesc*>(arg);
        if (desc.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || desc.index >= m_config->formats.size())
            return EINVAL;
        const uint32_t index = desc.index;
        const uint32_t fourcc = m_config->formats[index].fourcc;
        std::memset(&desc, 0, sizeof desc);
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        desc.pixelformat = fourcc;
        desc.flags = fourcc == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
        std::strncpy(
            reinterpret_cast<char*>(desc.description), describe(fourcc).c_str(), sizeof desc.description - 1);
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto& size = *static_cast<v4l2_frmsizeenum*>(arg);
        const DeviceConfig::Format* f = findFormat(*m_config, size.pixel_format);
        if (!f || size.index >= f->sizes.size())
            return EINVAL;
        size.type = V4L2_FRMSIZE_TYPE_DISCRETE;
        size.discrete = { f->sizes[size.index].width, f->sizes[size.index].height };
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto& interval = *static_cast<v4l2_frmivalenum*>(arg);
        const DeviceConfig::Format* f = findFormat(*m_config, interval.pixel_format);
        if (!f)
            return EINVAL;
        for (const auto& s : f->sizes) {
            if (s.width != interval.width || s.height != interval.height)
                continue;
            if (interval.index >= s.fps.size())
                return EINVAL;
            interval.type = V4L2_FRMIVAL_TYPE_DISCRETE;
            interval.discrete = { 1, s.fps[interval.index] };
            return 0;
        }
        return EINVAL;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
        return formatIoctl(request, *static_cast<v4l2_format*>(arg));
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM:
        return parmIoctl(request, *static_cast<v4l2_streamparm*>(arg));
    case VIDIOC_REQBUFS:
        return requestBuffers(fd, *static_cast<v4l2_requestbuffers*>(arg));
    case VIDIOC_QUERYBUF:
        return queryBuffer(*static_cast<v4l2_buffer*>(arg));
    case VIDIOC_QBUF:
        return queueBuffer(fd, *static_cast<v4l2_buffer*>(arg));
    case VIDIOC_DQBUF:
        return dequeueBuffer(fd, *static_cast<v4l2_buffer*>(arg));
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        return request == VIDIOC_STREAMON ? streamOn(fd) : streamOff(fd);
    case VIDIOC_QUERYCTRL:
        return m_controls.query(*static_cast<v4l2_queryctrl*>(arg));
    case VIDIOC_QUERYMENU:
        return m_controls.queryMenu(*static_cast<v4l2_querymenu*>(arg));
    case VIDIOC_G_CTRL:
        return m_controls.get(*static_cast<v4l2_control*>(arg));
    case VIDIOC_S_CTRL:
        return m_controls.set(*static_cast<v4l2_control*>(arg));
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
        return m_controls.extended(request, *static_cast<v4l2_ext_controls*>(arg));
    default:
        return ENOTTY;
    }
}

void* FakeNode::mmap(int fd, void* addr, size_t length, int prot, int flags, off_t offset, int& error)
{
    if (m_gone) {
        error = ENODEV;
        return nullptr;
    }
    if (isBusy(fd) || m_buffers.empty() || offset < 0 || size_t(offset) % m_bufferLength != 0
        || size_t(offset) / m_bufferLength >= m_buffers.size() || length > m_bufferLength) {
        error = EINVAL;
        return nullptr;
    }
    void* mapping = fakev4l2_real_mmap(addr, length, prot, flags, m_memory, offset);
    if (mapping == MAP_FAILED) {
        error = errno;
        return nullptr;
    }
    return mapping;
}

void FakeNode::release(int fd)
{
    // Closing the owner stops streaming and frees the buffers (mappings stay valid until unmapped).
    if (m_owner == fd)
        freeBuffers();
}

short FakeNode::pollEvents(int fd, int64_t nowNs)
{
    if (m_gone || unplugDue())
        return POLLERR | POLLHUP;
    if (isBusy(fd) || !m_streaming)
        return POLLERR;
    return frameDue(nowNs) ? POLLIN | POLLRDNORM : 0;
}

int64_t FakeNode::nextEventNs() const
{
    return (m_streaming && !m_queue.empty() && !m_gone) ? m_nextDueNs : -1;
}
