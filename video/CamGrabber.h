#pragma once

#include "CaptureFormat.h"
#include "FfmpegPtr.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QMutex>
#include <QPair>

#include <atomic>
#include <functional>

struct AVInputFormat;

// One USB camera read through FFmpeg's V4L2 input: packets are read on a thread of its own
// into a one-packet slot; takeFrame decodes the newest one to YUV420P at the camera's size.
// Each frame's pts is the time its picture was captured, in microseconds (kCaptureTimeBase).
class CamGrabber
{
public:
    CamGrabber();
    ~CamGrabber();
    CamGrabber(const CamGrabber&) = delete;
    CamGrabber& operator=(const CamGrabber&) = delete;

    static constexpr int kCaptureTimeBase = 1000000;

    // Opens the camera by its device key (Latin-1, zero-terminated) in the format wanted
    // when the camera offers it, else in the camera's best format (see CaptureFormatChoice).
    // A camera that does not say what it offers is opened in whatever format it is set to.
    bool open(const char* deviceName, const CaptureFormat& wanted = CaptureFormat());
    // The same read, decode and convert path on any FFmpeg input (tests and the bench).
    bool openInput(const char* formatName, const char* url);
    void close();

    int width() const;
    int height() const;
    // Frames per second the open camera was asked for or reports; 0 when unknown or closed.
    double frameRate() const;
    // What the open camera offers, most useful first (empty when it did not say), and the
    // format it was opened in (invalid when opened without asking for one).
    CaptureFormats offeredFormats() const;
    CaptureFormat format() const;
    // The newest packet decoded to a YUV420P frame, or null.
    ffmpeg::FramePtr takeFrame();
    // The capture thread is reading: false before open, after close and once it gave up on
    // a camera that delivers nothing (see takeGrabError) or an input that ended.
    bool isReading() const;
    // The grab error flag, cleared by this call.
    bool takeGrabError();
    // Why the last open failed, as FFmpeg gave it (AVERROR(EBUSY), AVERROR(EACCES), ...);
    // 0 after an open that worked.
    int openError() const { return m_openError; }

    // Test seam at the hardware boundary: maps a device key to the FFmpeg input that stands
    // in for the camera (format name, URL). Unset, the key is opened as a V4L2 device node;
    // a "video4linux2" input it names is opened as a camera, formats and all.
    using InputResolver = std::function<QPair<QByteArray, QByteArray>(const QByteArray& deviceKey)>;
    static void setInputResolver(InputResolver resolver);

    // Timing aid for the bench: called on the capture thread with the packet's capture time
    // (as the pts of its frame will be) each time a packet is put into the slot. Set it before open; unset it
    // costs one test per packet.
    using PacketStoredHook = std::function<void(qint64 pts)>;
    void setPacketStoredHook(PacketStoredHook hook);

private:
    bool openStream(const AVInputFormat* format, const char* url, const CaptureFormat& captureFormat);
    // The capture thread's work: reads packets into the slot until close or until the
    // camera is gone.
    void readPackets();
    ffmpeg::FramePtr decode(AVPacket* packet);
    // FFmpeg's interrupt callback: a blocking read or open returns early once close asked.
    static int interruptRead(void* grabber);

    // Guards the packet slot and the decode state (m_packet, m_decoder, m_scaler,
    // m_scalerInput) and the call of the packet hook. Lock order: the recorder's lock, then
    // the view's, then this one; it is never held while another is taken.
    QMutex m_lock;
    WorkerThread m_thread;
    // Set by close before it joins the capture thread; read by the loop and by FFmpeg.
    std::atomic<bool> m_stopRequested { false };
    std::atomic<bool> m_grabError { false };
    std::atomic<bool> m_open { false };
    int m_openError = 0;
    int m_width = -1;
    int m_height = -1;
    int m_streamIndex = -1;
    double m_frameRate = 0.0;
    CaptureFormats m_offered;
    CaptureFormat m_format;
    // The stream's time base, for turning packet times into capture times.
    int m_timeBaseNum = 0;
    int m_timeBaseDen = 1;
    ffmpeg::PacketPtr m_packet;
    ffmpeg::CodecContextPtr m_decoder;
    ffmpeg::InputContextPtr m_input;
    ffmpeg::SwsContextPtr m_scaler;
    struct ScalerInput {
        int width = 0;
        int height = 0;
        int format = -1;
        bool operator!=(const ScalerInput& other) const
        {
            return width != other.width || height != other.height || format != other.format;
        }
    };
    // The picture size and pixel format the scaler was made for.
    ScalerInput m_scalerInput;
    PacketStoredHook m_packetStoredHook;
};
