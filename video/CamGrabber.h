#pragma once

#include "FfmpegPtr.h"

#include <QByteArray>
#include <QMutex>
#include <QPair>
#include <QThread>

#include <atomic>
#include <functional>

struct AVInputFormat;

// One USB camera read through FFmpeg's V4L2 input: packets are read on a thread of its own
// into a one-packet slot; takeFrame decodes the newest one to YUV420P at the camera's size.
class CamGrabber : public QThread
{
public:
    CamGrabber();
    ~CamGrabber() override;

    // Opens the camera by its device key (Latin-1, zero-terminated).
    bool open(const char* deviceName);
    // The same read, decode and convert path on any FFmpeg input (tests and the bench).
    bool openInput(const char* formatName, const char* url);
    void close();

    int width() const;
    int height() const;
    // The newest packet decoded to a YUV420P frame the caller owns (av_frame_free), or null.
    AVFrame* takeFrame();
    // The grab error flag, cleared by this call.
    bool takeGrabError();

    // Test seam at the hardware boundary: maps a device key to the FFmpeg input that stands
    // in for the camera (format name, URL). Unset, the key is opened as a V4L2 device node.
    using InputResolver = std::function<QPair<QByteArray, QByteArray>(const QByteArray& deviceKey)>;
    static void setInputResolver(InputResolver resolver);

    // Timing aid for the bench: called on the capture thread with the packet's pts each time
    // a packet is put into the slot. Set it before open; unset it costs one test per packet.
    using PacketStoredHook = std::function<void(qint64 pts)>;
    void setPacketStoredHook(PacketStoredHook hook);

protected:
    void run() override;

private:
    bool openStream(const AVInputFormat* format, const char* url);
    AVFrame* decode(AVPacket* packet);

    QMutex m_lock;
    std::atomic<bool> m_grabError { false };
    std::atomic<bool> m_open { false };
    int m_width = -1;
    int m_height = -1;
    int m_streamIndex = -1;
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
