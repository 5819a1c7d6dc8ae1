// The emulator's state for the whole process: which descriptors belong to which emulated node,
// the nodes themselves, and the configuration they are made from. One lock serialises it all;
// a blocking DQBUF or poll releases it while it waits.
#include "FakeV4l2.h"

#include "DeviceConfig.h"
#include "FakeNode.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <map>
#include <mutex>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <vector>

namespace {

constexpr int kMaxFd = 65536;
constexpr int64_t kSliceNs = 10000000; // how often real descriptors are polled in a mixed set
constexpr int64_t kRecheckNs = 50000000; // how often a waiter looks again at the configuration

int64_t monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Set while this thread runs emulator code under the lock: anything it opens or polls itself
// goes straight to the C library.
thread_local bool t_inside = false;

struct InsideGuard {
    InsideGuard() { t_inside = true; }
    ~InsideGuard() { t_inside = false; }
};

class Emulator
{
public:
    static Emulator& instance()
    {
        static Emulator* emulator = new Emulator; // never destroyed: hooks may run during exit
        return *emulator;
    }

    bool isFake(int fd) const { return fd >= 0 && fd < kMaxFd && m_fake[fd].load(std::memory_order_acquire); }

    int open(const char* path, int flags, int* handled)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        InsideGuard guard;
        syncConfig();
        std::shared_ptr<const DeviceConfig> entry;
        for (const auto& d : m_devices)
            if (d->node == path)
                entry = d;
        if (!entry)
            return -1;
        *handled = 1;
        if (entry->failOpenErrno)
            return fail(entry->failOpenErrno);
        std::shared_ptr<FakeNode>& node = m_nodes[entry->node];
        if (!node)
            node = std::make_shared<FakeNode>(entry);
        if (node->isGone())
            return fail(ENOENT);
        // A real descriptor reserves the number, so it is unique and fcntl() works on it.
        const int fd
            = eventfd(0, ((flags & O_CLOEXEC) ? EFD_CLOEXEC : 0) | ((flags & O_NONBLOCK) ? EFD_NONBLOCK : 0));
        if (fd < 0)
            return -1;
        if (fd >= kMaxFd) {
            fakev4l2_real_close(fd);
            return fail(EMFILE);
        }
        m_files[fd] = node;
        m_fake[fd].store(true, std::memory_order_release);
        return fd;
    }

    int close(int fd)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        InsideGuard guard;
        const auto it = m_files.find(fd);
        if (it != m_files.end()) {
            it->second->release(fd);
            m_files.erase(it);
        }
        m_fake[fd].store(false, std::memory_order_release);
        m_wake.notify_all();
        return fakev4l2_real_close(fd);
    }

    int ioctl(int fd, unsigned long request, void* arg)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        InsideGuard guard;
        syncConfig();
        const bool blocking = request == VIDIOC_DQBUF && !(fcntl(fd, F_GETFL) & O_NONBLOCK);
        for (;;) {
            const std::shared_ptr<FakeNode> node = nodeOf(fd);
            if (!node)
                return fail(EBADF);
            const int error = node->ioctl(fd, request, arg);
            // A QBUF or STREAMON may be what a waiting DQBUF or poll in another thread needs. (Not
            // after EAGAIN: two waiters would keep waking each other.)
            if (!error)
                m_wake.notify_all();
            if (error != EAGAIN || !blocking)
                return error ? fail(error) : 0;
            // Wait for the frame, a QBUF from another thread, or (at the latest) look again at
            // the configuration: the camera may have been unplugged meanwhile.
            const int64_t next = node->nextEventNs();
            const int64_t waitNs
                = next < 0 ? kRecheckNs : std::min(std::max<int64_t>(next - monotonicNs(), 0), kRecheckNs);
            m_wake.wait_for(lock, std::chrono::nanoseconds(waitNs));
            syncConfig();
        }
    }

    void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        InsideGuard guard;
        const std::shared_ptr<FakeNode> node = nodeOf(fd);
        int error = EBADF;
        void* mapping = node ? node->mmap(fd, addr, length, prot, flags, offset, error) : nullptr;
        if (!mapping) {
            errno = error;
            return MAP_FAILED;
        }
        return mapping;
    }

    ssize_t read(int fd)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const std::shared_ptr<FakeNode> node = nodeOf(fd);
        // uvcvideo has no read() I/O.
        return fail(!node ? EBADF : node->isGone() ? ENODEV : EINVAL);
    }

    int poll(pollfd* fds, nfds_t count, int timeoutMs)
    {
        const int64_t deadline = timeoutMs < 0 ? INT64_MAX : monotonicNs() + int64_t(timeoutMs) * 1000000;
        std::vector<pollfd> real;
        std::vector<nfds_t> realIndex;
        for (nfds_t i = 0; i < count; ++i) {
            fds[i].revents = 0;
            if (!isFake(fds[i].fd)) {
                real.push_back(fds[i]);
                realIndex.push_back(i);
            }
        }
        for (;;) {
            int ready = 0;
            int64_t nextNs = INT64_MAX;
            std::unique_lock<std::mutex> lock(m_mutex);
            InsideGuard guard;
            syncConfig();
            const int64_t now = monotonicNs();
            for (nfds_t i = 0; i < count; ++i) {
                if (!isFake(fds[i].fd))
                    continue;
                const std::shared_ptr<FakeNode> node = nodeOf(fds[i].fd);
                const short events = node ? node->pollEvents(fds[i].fd, now) : POLLNVAL;
                fds[i].revents = events & (fds[i].events | POLLERR | POLLHUP | POLLNVAL);
                ready += fds[i].revents != 0;
                const int64_t next = node ? node->nextEventNs() : -1;
                if (next >= 0)
                    nextNs = std::min(nextNs, next);
            }
            const int64_t waitNs = ready ? 0 : std::max<int64_t>(0, std::min(deadline, nextNs) - now);
            if (real.empty()) {
                if (ready || now >= deadline)
                    return ready;
                // Woken early by QBUF, STREAMON or close; looks again at least every 50 ms.
                m_wake.wait_for(lock, std::chrono::nanoseconds(std::min(waitNs, kRecheckNs)));
                continue;
            }
            lock.unlock();
            const int sliceMs = int((std::min(waitNs, kSliceNs) + 999999) / 1000000);
            const int r = fakev4l2_real_poll(real.data(), real.size(), sliceMs);
            if (r < 0)
                return r;
            for (size_t k = 0; k < real.size(); ++k)
                fds[realIndex[k]].revents = real[k].revents;
            ready += r;
            if (ready || monotonicNs() >= deadline)
                return ready;
        }
    }

private:
    static int fail(int error)
    {
        errno = error;
        return -1;
    }

    std::shared_ptr<FakeNode> nodeOf(int fd) const
    {
        const auto it = m_files.find(fd);
        return it == m_files.end() ? nullptr : it->second;
    }

    // Reads the configuration again when its name or file changed, and forgets every node whose
    // entry went away or changed: that camera was unplugged (or replugged as a new one).
    void syncConfig()
    {
        const char* name = getenv("KARVEX_FAKE_V4L2");
        std::string key;
        struct stat info {
        };
        if (name && *name && stat(name, &info) == 0) {
            key = std::string(name) + '|' + std::to_string(info.st_dev) + '|' + std::to_string(info.st_ino)
                + '|' + std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec) + '|'
                + std::to_string(info.st_size);
        }
        if (key == m_configKey)
            return;
        m_configKey = key;
        m_devices = key.empty() ? DeviceList() : parseDeviceList(readFile(name));
        for (auto it = m_nodes.begin(); it != m_nodes.end();) {
            bool unchanged = false;
            for (const auto& d : m_devices)
                if (d->node == it->first && d->entryText == it->second->config().entryText)
                    unchanged = true;
            if (unchanged) {
                ++it;
            } else {
                it->second->unplug();
                it = m_nodes.erase(it);
            }
        }
        m_wake.notify_all();
    }

    static std::string readFile(const char* name)
    {
        std::string text;
        const int fd = fakev4l2_real_open(name, O_RDONLY | O_CLOEXEC, 0);
        if (fd < 0)
            return text;
        char buffer[4096];
        ssize_t n;
        while ((n = fakev4l2_real_read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, size_t(n));
        fakev4l2_real_close(fd);
        return text;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_fake[kMaxFd] {};
    std::string m_configKey;
    DeviceList m_devices;
    std::map<std::string, std::shared_ptr<FakeNode>> m_nodes;
    std::map<int, std::shared_ptr<FakeNode>> m_files;
};

} // namespace

extern "C" {

int fakev4l2_open(const char* path, int flags, int* handled)
{
    *handled = 0;
    if (!path || t_inside || !getenv("KARVEX_FAKE_V4L2"))
        return -1;
    return Emulator::instance().open(path, flags, handled);
}

int fakev4l2_is_fake(int fd)
{
    return !t_inside && Emulator::instance().isFake(fd);
}

int fakev4l2_close(int fd)
{
    return Emulator::instance().close(fd);
}

int fakev4l2_ioctl(int fd, unsigned long request, void* arg)
{
    return Emulator::instance().ioctl(fd, request, arg);
}

void* fakev4l2_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return Emulator::instance().mmap(addr, length, prot, flags, fd, offset);
}

ssize_t fakev4l2_read(int fd, void*, size_t)
{
    return Emulator::instance().read(fd);
}

int fakev4l2_poll(struct pollfd* fds, nfds_t count, int timeoutMs)
{
    return Emulator::instance().poll(fds, count, timeoutMs);
}

} // extern "C"
