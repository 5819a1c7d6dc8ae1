// The C library entry points the emulator stands in for. Written in C so the definitions match
// glibc's declarations whatever their exception specifications are in C++. Every variant that
// glibc or FFmpeg may bind to is here; all of them pass through unless the descriptor or path
// belongs to an emulated node.
#define _GNU_SOURCE
#include "FakeV4l2.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

#define REAL(name, type)                                                                                     \
    static type real_##name(void)                                                                            \
    {                                                                                                        \
        static type fn;                                                                                      \
        if (!fn)                                                                                             \
            fn = (type)dlsym(RTLD_NEXT, #name);                                                              \
        return fn;                                                                                           \
    }

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);
typedef int (*open2_fn)(const char*, int);
typedef int (*openat2_fn)(int, const char*, int);
typedef int (*close_fn)(int);
typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef int (*munmap_fn)(void*, size_t);
typedef int (*poll_fn)(struct pollfd*, nfds_t, int);
typedef int (*pollchk_fn)(struct pollfd*, nfds_t, int, size_t);
typedef int (*ppoll_fn)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*);
typedef int (*select_fn)(int, fd_set*, fd_set*, fd_set*, struct timeval*);
typedef ssize_t (*read_fn)(int, void*, size_t);

REAL(open, open_fn)
REAL(open64, open_fn)
REAL(openat, openat_fn)
REAL(openat64, openat_fn)
REAL(__open_2, open2_fn)
REAL(__open64_2, open2_fn)
REAL(__openat_2, openat2_fn)
REAL(__openat64_2, openat2_fn)
REAL(close, close_fn)
REAL(ioctl, ioctl_fn)
REAL(mmap, mmap_fn)
REAL(mmap64, mmap_fn)
REAL(munmap, munmap_fn)
REAL(poll, poll_fn)
REAL(__poll_chk, pollchk_fn)
REAL(ppoll, ppoll_fn)
REAL(select, select_fn)
REAL(read, read_fn)

static mode_t modeArgument(int flags, va_list ap)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
}

// openat() with a relative path names something below a folder, never a device node.
static int isNodePath(int dirfd, const char* path)
{
    return path && (path[0] == '/' || dirfd == AT_FDCWD);
}

EXPORT int open(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    int handled = 0;
    const int fd = fakev4l2_open(path, flags, &handled);
    return handled ? fd : real_open()(path, flags, mode);
}

EXPORT int open64(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    int handled = 0;
    const int fd = fakev4l2_open(path, flags, &handled);
    return handled ? fd : real_open64()(path, flags, mode);
}

EXPORT int openat(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    int handled = 0;
    const int fd = isNodePath(dirfd, path) ? fakev4l2_open(path, flags, &handled) : -1;
    return handled ? fd : real_openat()(dirfd, path, flags, mode);
}

EXPORT int openat64(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    int handled = 0;
    const int fd = isNodePath(dirfd, path) ? fakev4l2_open(path, flags, &handled) : -1;
    return handled ? fd : real_openat64()(dirfd, path, flags, mode);
}

EXPORT int __open_2(const char* path, int flags)
{
    int handled = 0;
    const int fd = fakev4l2_open(path, flags, &handled);
    return handled ? fd : real___open_2()(path, flags);
}

EXPORT int __open64_2(const char* path, int flags)
{
    int handled = 0;
    const int fd = fakev4l2_open(path, flags, &handled);
    return handled ? fd : real___open64_2()(path, flags);
}

EXPORT int __openat_2(int dirfd, const char* path, int flags)
{
    int handled = 0;
    const int fd = isNodePath(dirfd, path) ? fakev4l2_open(path, flags, &handled) : -1;
    return handled ? fd : real___openat_2()(dirfd, path, flags);
}

EXPORT int __openat64_2(int dirfd, const char* path, int flags)
{
    int handled = 0;
    const int fd = isNodePath(dirfd, path) ? fakev4l2_open(path, flags, &handled) : -1;
    return handled ? fd : real___openat64_2()(dirfd, path, flags);
}

EXPORT int close(int fd)
{
    return fakev4l2_is_fake(fd) ? fakev4l2_close(fd) : real_close()(fd);
}

EXPORT int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    return fakev4l2_is_fake(fd) ? fakev4l2_ioctl(fd, request, arg) : real_ioctl()(fd, request, arg);
}

EXPORT void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (fakev4l2_is_fake(fd))
        return fakev4l2_mmap(addr, length, prot, flags, fd, offset);
    return real_mmap()(addr, length, prot, flags, fd, offset);
}

EXPORT void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (fakev4l2_is_fake(fd))
        return fakev4l2_mmap(addr, length, prot, flags, fd, offset);
    return real_mmap64()(addr, length, prot, flags, fd, offset);
}

// Buffers are handed out as real shared mappings, so unmapping them is the C library's job.
EXPORT int munmap(void* addr, size_t length)
{
    return real_munmap()(addr, length);
}

static int holdsFake(const struct pollfd* fds, nfds_t count)
{
    for (nfds_t i = 0; i < count; ++i)
        if (fakev4l2_is_fake(fds[i].fd))
            return 1;
    return 0;
}

EXPORT int poll(struct pollfd* fds, nfds_t count, int timeoutMs)
{
    return holdsFake(fds, count) ? fakev4l2_poll(fds, count, timeoutMs) : real_poll()(fds, count, timeoutMs);
}

EXPORT int __poll_chk(struct pollfd* fds, nfds_t count, int timeoutMs, size_t fdsLength)
{
    if (holdsFake(fds, count))
        return fakev4l2_poll(fds, count, timeoutMs);
    return real___poll_chk()(fds, count, timeoutMs, fdsLength);
}

static int toMs(const struct timespec* ts)
{
    if (!ts)
        return -1;
    const int64_t ms = (int64_t)ts->tv_sec * 1000 + (ts->tv_nsec + 999999) / 1000000;
    return ms > INT32_MAX ? INT32_MAX : (int)ms;
}

// The signal mask is not applied while emulated descriptors are waited for.
EXPORT int ppoll(struct pollfd* fds, nfds_t count, const struct timespec* timeout, const sigset_t* mask)
{
    if (holdsFake(fds, count))
        return fakev4l2_poll(fds, count, toMs(timeout));
    return real_ppoll()(fds, count, timeout, mask);
}

EXPORT int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout)
{
    struct pollfd fds[FD_SETSIZE];
    nfds_t count = 0;
    int anyFake = 0;
    for (int fd = 0; fd < nfds && fd < FD_SETSIZE; ++fd) {
        short events = 0;
        if (readfds && FD_ISSET(fd, readfds))
            events |= POLLIN;
        if (writefds && FD_ISSET(fd, writefds))
            events |= POLLOUT;
        if (exceptfds && FD_ISSET(fd, exceptfds))
            events |= POLLPRI;
        if (!events)
            continue;
        anyFake |= fakev4l2_is_fake(fd);
        fds[count].fd = fd;
        fds[count].events = events;
        fds[count].revents = 0;
        ++count;
    }
    if (!anyFake)
        return real_select()(nfds, readfds, writefds, exceptfds, timeout);

    const int timeoutMs = timeout ? (int)(timeout->tv_sec * 1000 + (timeout->tv_usec + 999) / 1000) : -1;
    const int r = fakev4l2_poll(fds, count, timeoutMs);
    if (r < 0)
        return r;
    if (readfds)
        FD_ZERO(readfds);
    if (writefds)
        FD_ZERO(writefds);
    if (exceptfds)
        FD_ZERO(exceptfds);
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
        const short re = fds[i].revents;
        if (readfds && (fds[i].events & POLLIN) && (re & (POLLIN | POLLHUP | POLLERR))) {
            FD_SET(fds[i].fd, readfds);
            ++ready;
        }
        if (writefds && (fds[i].events & POLLOUT) && (re & (POLLOUT | POLLERR))) {
            FD_SET(fds[i].fd, writefds);
            ++ready;
        }
        if (exceptfds && (fds[i].events & POLLPRI) && (re & POLLPRI)) {
            FD_SET(fds[i].fd, exceptfds);
            ++ready;
        }
    }
    if (timeout && ready == 0) {
        timeout->tv_sec = 0;
        timeout->tv_usec = 0;
    }
    return ready;
}

EXPORT ssize_t read(int fd, void* buffer, size_t count)
{
    return fakev4l2_is_fake(fd) ? fakev4l2_read(fd, buffer, count) : real_read()(fd, buffer, count);
}

int fakev4l2_real_open(const char* path, int flags, mode_t mode)
{
    return real_open()(path, flags, mode);
}

int fakev4l2_real_close(int fd)
{
    return real_close()(fd);
}

ssize_t fakev4l2_real_read(int fd, void* buffer, size_t count)
{
    return real_read()(fd, buffer, count);
}

void* fakev4l2_real_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return real_mmap()(addr, length, prot, flags, fd, offset);
}

int fakev4l2_real_poll(struct pollfd* fds, nfds_t count, int timeoutMs)
{
    return real_poll()(fds, count, timeoutMs);
}
