#pragma once
/*
 * libkarvex-fake-v4l2.so: V4L2 capture nodes emulated at the C library boundary (development tool).
 *
 * Loaded with LD_PRELOAD, it answers open/ioctl/mmap/poll/select/read/close on the node paths
 * listed in the JSON file named by KARVEX_FAKE_V4L2, the way uvcvideo answers for a USB camera;
 * every other path and descriptor goes to the real C library. FFmpeg's V4L2 input and Karvex's
 * own V4L2 layer run on it unchanged.
 *
 * The file is read again (when it changed) on every open() and every call on an emulated node,
 * so a test can plug, unplug or replace cameras while the process runs:
 *
 *   {"devices": [{"node": "/dev/video7", "card": "ZEN-LUX HD", "driver": "uvcvideo",
 *                 "bus": "usb-0000:00:14.0-2",
 *     "current": {"fourcc": "YUYV", "width": 640, "height": 480, "fps": 30},
 *     "formats": [{"fourcc": "MJPG", "sizes": [{"width": 1920, "height": 1080, "fps": [30, 25, 15]},
 *                                              {"width": 1280, "height": 720, "fps": [60, 30]}]},
 *                 {"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "fps": [30, 15]}]}],
 *     "controls": [{"id": 9963776, "name": "Brightness", "type": "int", "min": -64, "max": 64,
 *                   "step": 1, "default": 0, "value": 0},
 *                  {"id": 10094849, "name": "Auto Exposure", "type": "menu", "min": 0, "max": 1,
 *                   "default": 1, "menu": ["Manual Mode", "Aperture Priority Mode"]},
 *                  {"id": 9963788, "name": "White Balance, Auto", "type": "bool", "default": 1,
 *                   "flags": ["inactive"]}],
 *     "fail_open": "", "unplug_after_frames": 0,
 *     "rate_changes": [{"after_frames": 60, "fps": 15}]}]}
 *
 * - "type": "int" | "bool" | "menu" | "button"; "flags": any of "read-only", "inactive", "disabled".
 *   "value" defaults to "default". S_CTRL outside min..max fails with ERANGE, off the step grid
 *   with EINVAL, on a read-only control with EACCES.
 * - "fail_open": "EBUSY" | "EACCES" | "ENOENT" makes open() fail with that errno.
 * - "unplug_after_frames": N > 0: after N frames the node behaves as unplugged: DQBUF and every
 *   further call fail with ENODEV, poll reports POLLERR, open() fails with ENOENT.
 * - "rate_changes": from the given frame on, frames arrive at the lower rate (dim light) while
 *   G_PARM still reports the negotiated interval.
 * - Any other field is ignored, but takes part in change detection: per-node state (format, rate,
 *   control values, the unplugged state) is made from the entry when the node is first opened
 *   and again whenever the entry changed (a replug: the driver forgot its values; descriptors
 *   still open on the old device fail with ENODEV). A node missing from the file, or no file,
 *   is not emulated.
 *
 * Formats: MJPG (a JPEG 4:2:2 picture, encoded once per size) and YUYV. The picture (FramePicture) has
 * seven vertical colour bars (yellow, cyan, green, magenta, red, blue, black from left to right)
 * and a white block over the middle quarter (x and y from 3/8 to 5/8 of the size).
 * Frames are paced in real time from STREAMON: frame k is due at start + k * interval; a late
 * reader gets the newest due frame (the ones in between are dropped). Buffer timestamps are
 * the capture times on CLOCK_MONOTONIC.
 *
 * When KARVEX_FAKE_V4L2_LOG names a file, one line is appended per format or rate set, with the
 * values in effect after the driver's adjustment: "S_FMT MJPG 1280x720", "S_PARM 1/30", and
 * "STREAMON" / "STREAMOFF".
 */

#include <poll.h>
#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

// The emulator's side of the hooks. Each returns what the libc call returns (errno set).
// A "handled" of 0 means the call is not for an emulated node: the hook calls the real one.
int fakev4l2_open(const char* path, int flags, int* handled);
int fakev4l2_is_fake(int fd);
int fakev4l2_close(int fd);
int fakev4l2_ioctl(int fd, unsigned long request, void* arg);
void* fakev4l2_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
ssize_t fakev4l2_read(int fd, void* buffer, size_t count);
// Polls a set that holds at least one emulated descriptor.
int fakev4l2_poll(struct pollfd* fds, nfds_t count, int timeoutMs);

// The real C library functions, for the emulator's own file access.
int fakev4l2_real_open(const char* path, int flags, mode_t mode);
int fakev4l2_real_close(int fd);
ssize_t fakev4l2_real_read(int fd, void* buffer, size_t count);
void* fakev4l2_real_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int fakev4l2_real_poll(struct pollfd* fds, nfds_t count, int timeoutMs);

#ifdef __cplusplus
}
#endif
