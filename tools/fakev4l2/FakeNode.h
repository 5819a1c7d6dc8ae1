#pragma once

#include "ControlSet.h"
#include "DeviceConfig.h"

#include <cstdint>
#include <deque>
#include <linux/videodev2.h>
#include <memory>
#include <sys/types.h>

// One emulated capture node: what uvcvideo keeps per device (format, interval, controls, the
// buffer queue) and the camera behind it, which delivers frames in real time while streaming.
// The caller holds the emulator's lock for every call and does the waiting for blocking DQBUF.
class FakeNode
{
public:
    explicit FakeNode(std::shared_ptr<const DeviceConfig> config);
    ~FakeNode();
    FakeNode(const FakeNode&) = delete;
    FakeNode& operator=(const FakeNode&) = delete;

    const DeviceConfig& config() const { return *m_config; }
    bool isGone() const { return m_gone; }
    void unplug() { m_gone = true; }

    // Returns 0 or an errno; DQBUF gives EAGAIN when no frame is due. `fd` identifies the
    // opener (the buffer owner).
    int ioctl(int fd, unsigned long request, void* arg);
    // Maps buffer memory at `offset`; nullptr with `error` set when there is none.
    void* mmap(int fd, void* addr, size_t length, int prot, int flags, off_t offset, int& error);
    // The descriptor `fd` was closed.
    void release(int fd);
    // POLLIN when a frame can be dequeued, POLLERR when none ever will.
    short pollEvents(int fd, int64_t nowNs);
    // The monotonic time in ns at which pollEvents() may change, or -1 if not by itself.
    int64_t nextEventNs() const;

private:
    struct Buffer {
        bool queued = false;
        uint32_t bytesUsed = 0;
        uint32_t sequence = 0;
        timeval timestamp {};
    };

    int formatIoctl(unsigned long request, v4l2_format& format);
    int parmIoctl(unsigned long request, v4l2_streamparm& parm);
    int requestBuffers(int fd, v4l2_requestbuffers& request);
    int queryBuffer(v4l2_buffer& buffer) const;
    int queueBuffer(int fd, v4l2_buffer& buffer);
    int dequeueBuffer(int fd, v4l2_buffer& buffer);
    int streamOn(int fd);
    int streamOff(int fd);
    void freeBuffers();
    bool frameDue(int64_t nowNs) const;
    bool unplugDue() const;
    void fillBuffer(int64_t nowNs, v4l2_buffer& buffer);
    void fillFormat(v4l2_format& format) const;
    uint32_t sizeImage() const;
    bool isBusy(int fd) const { return m_owner >= 0 && m_owner != fd; }

    std::shared_ptr<const DeviceConfig> m_config;
    ControlSet m_controls;
    bool m_gone = false;

    uint32_t m_fourcc = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_fps = 0; // the negotiated rate (interval 1/m_fps)

    int m_owner = -1; // the descriptor that holds the buffers
    int m_memory = -1; // memfd behind all buffers
    uint8_t* m_mapping = nullptr;
    size_t m_bufferLength = 0;
    std::vector<Buffer> m_buffers;
    std::deque<uint32_t> m_queue;

    bool m_streaming = false;
    int64_t m_nextDueNs = 0;
    int64_t m_intervalNs = 0;
    uint64_t m_delivered = 0;
};
