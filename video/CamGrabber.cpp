#include "CamGrabber.h"

#include "CaptureFormatChoice.h"
#include "V4l2FormatReader.h"

#include <QMutexLocker>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

namespace {
// A read fails about every 3 ms while the camera delivers nothing; a little over 300 of them
// in a row (about a second) means the camera is gone.
constexpr int kRetrySleepMs = 3;
constexpr int kMaxFailedReads = 300;
// Pause after each stored packet: bounds the reads to about 50 packets a second.
constexpr int kStoredSleepMs = 20;
// A capture thread stuck inside the device is terminated after this long.
constexpr qint64 kTerminateAfterMs = 2500;
constexpr int kUrlBufferSize = 256;
constexpr const char* kCameraInputFormat = "video4linux2";

CamGrabber::InputResolver& inputResolver()
{
    static CamGrabber::InputResolver resolver;
    return resolver;
}
} // namespace

CamGrabber::CamGrabber()
{
    avdevice_register_all();
}

CamGrabber::~CamGrabber()
{
    close();
}

void CamGrabber::setInputResolver(InputResolver resolver)
{
    inputResolver() = std::move(resolver);
}

void CamGrabber::setPacketStoredHook(PacketStoredHook hook)
{
    m_packetStoredHook = std::move(hook);
}

bool CamGrabber::open(const char* deviceName, const CaptureFormat& wanted)
{
    if (m_open)
        return false;
    m_openError = AVERROR(ENOENT);
    if (!deviceName || deviceName[0] == 0)
        return false;
    // The key goes through a fixed buffer: a longer name is cut, never overrun.
    char url[kUrlBufferSize] = {};
    std::strncpy(url, deviceName, kUrlBufferSize - 1);

    if (const InputResolver& resolver = inputResolver()) {
        const QPair<QByteArray, QByteArray> input = resolver(QByteArray(url));
        if (input.first != kCameraInputFormat)
            return openStream(av_find_input_format(input.first.constData()), input.second.constData(), {});
        std::strncpy(url, input.second.constData(), kUrlBufferSize - 1);
    }
    // Left to itself FFmpeg's V4L2 input keeps the node's current size and prefers raw
    // pictures, which a USB 2 camera sends at a few frames a second: ask for the best.
    const CaptureFormats offered = CaptureFormatChoice::ranked(V4l2FormatReader::read(QByteArray(url)));
    const CaptureFormat chosen = CaptureFormatChoice::choose(offered, wanted);
    const AVInputFormat* v4l2 = av_find_input_format(kCameraInputFormat);
    // A driver that refuses the format it offered still gets its own current one.
    if (!openStream(v4l2, url, chosen) && (!chosen.isValid() || !openStream(v4l2, url, {})))
        return false;
    m_offered = offered;
    return true;
}

bool CamGrabber::openInput(const char* formatName, const char* url)
{
    if (m_open)
        return false;
    m_openError = AVERROR(ENOENT);
    if (!formatName || !url || url[0] == 0)
        return false;
    return openStream(av_find_input_format(formatName), url, {});
}

bool CamGrabber::openStream(const AVInputFormat* format, const char* url, const CaptureFormat& captureFormat)
{
    if (m_open || !url || url[0] == 0)
        return false;
    // Whatever fails after the device itself was opened is reported as an input/output
    // error; only the open says why the camera could not be had at all.
    m_openError = AVERROR(EIO);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return false;
    // Reads return EAGAIN instead of waiting inside the device, and any wait FFmpeg does
    // itself ends once close asks, so close is never stuck.
    raw->flags |= AVFMT_FLAG_NONBLOCK;
    m_stopRequested = false;
    raw->interrupt_callback.callback = &CamGrabber::interruptRead;
    raw->interrupt_callback.opaque = this;
    if (!format) {
        avformat_free_context(raw);
        return false;
    }
    AVDictionary* options = nullptr;
    if (captureFormat.isValid()) {
        av_dict_set(&options, "input_format", captureFormat.ffmpegInputFormat().constData(), 0);
        av_dict_set(&options, "video_size",
            QByteArray::number(captureFormat.width)
                .append('x')
                .append(QByteArray::number(captureFormat.height))
                .constData(),
            0);
        av_dict_set(&options, "framerate",
            QByteArray::number(captureFormat.intervalDenominator)
                .append('/')
                .append(QByteArray::number(captureFormat.intervalNumerator))
                .constData(),
            0);
    }
    const int opened = avformat_open_input(&raw, url, format, &options);
    av_dict_free(&options);
    if (opened < 0) {
        m_openError = opened;
        return false; // avformat_open_input frees the context on failure
    }
    ffmpeg::InputContextPtr input(raw);

    if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams == 0)
        return false;
    int streamIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            streamIndex = int(i);
            break;
        }
    }
    if (streamIndex < 0)
        return false;

    const AVStream* stream = input->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec)
        return false;
    ffmpeg::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0
        || avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return false;

    const int width = decoder->width;
    const int height = decoder->height;
    ffmpeg::SwsContextPtr scaler(sws_getContext(width, height, decoder->pix_fmt, width, height,
        AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;

    // The capture thread does not exist yet: no lock needed for these stores.
    m_width = width;
    m_height = height;
    m_streamIndex = streamIndex;
    m_timeBaseNum = stream->time_base.num;
    m_timeBaseDen = stream->time_base.den;
    const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    m_frameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
    m_offered.clear();
    m_format = captureFormat;
    m_scalerInput = { width, height, decoder->pix_fmt };
    m_decoder = std::move(decoder);
    m_scaler = std::move(scaler);
    m_input = std::move(input);
    m_grabError = false;
    m_openError = 0;
    m_open = true;
    m_thread.start([this] { readPackets(); }, QThread::HighestPriority);
    return true;
}

int CamGrabber::interruptRead(void* grabber)
{
    return static_cast<CamGrabber*>(grabber)->m_stopRequested ? 1 : 0;
}

void CamGrabber::readPackets()
{
    int failures = 0;
    while (!m_stopRequested) {
        ffmpeg::PacketPtr packet(av_packet_alloc());
        if (!packet || av_read_frame(m_input.get(), packet.get()) < 0) {
            packet.reset();
            QThread::msleep(kRetrySleepMs);
            if (++failures > kMaxFailedReads) {
                m_grabError = true;
                return;
            }
            continue;
        }
        failures = 0;
        if (packet->stream_index != m_streamIndex)
            continue;
        {
            QMutexLocker locker(&m_lock);
            const qint64 pts = packet->pts == AV_NOPTS_VALUE
                ? packet->pts
                : av_rescale_q(packet->pts, AVRational { m_timeBaseNum, m_timeBaseDen },
                    AVRational { 1, kCaptureTimeBase });
            // Only the newest packet matters: one nobody took yet is dropped here.
            m_packet = std::move(packet);
            if (m_packetStoredHook)
                m_packetStoredHook(pts);
        }
        QThread::msleep(kStoredSleepMs);
    }
}

ffmpeg::FramePtr CamGrabber::takeFrame()
{
    // Held for the whole decode: the capture thread waits before storing the next packet.
    QMutexLocker locker(&m_lock);
    ffmpeg::PacketPtr packet = std::move(m_packet);
    if (!packet || !m_decoder)
        return nullptr;
    return decode(packet.get());
}

ffmpeg::FramePtr CamGrabber::decode(AVPacket* packet)
{
    ffmpeg::FramePtr source(av_frame_alloc());
    if (!source)
        return nullptr;
    if (avcodec_send_packet(m_decoder.get(), packet) < 0
        || avcodec_receive_frame(m_decoder.get(), source.get()) < 0)
        return nullptr;

    // A camera may change its picture mid-stream; scaling such a picture with the converter
    // made at open time would read past its planes, so a new converter is made for it. Only
    // then: sws_getCachedContext cannot serve here, as it rebuilds (and warns) on every call
    // for the full-range formats that MJPEG cameras deliver. The output keeps its size.
    const ScalerInput input { source->width, source->height, source->format };
    if (input != m_scalerInput) {
        m_scaler.reset(sws_getContext(input.width, input.height, AVPixelFormat(input.format), m_width,
            m_height, AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
        m_scalerInput = input;
    }
    SwsContext* scaler = m_scaler.get();
    if (!scaler)
        return nullptr;

    ffmpeg::FramePtr output(av_frame_alloc());
    if (!output)
        return nullptr;
    output->format = AV_PIX_FMT_YUV420P;
    output->width = m_width;
    output->height = m_height;
    if (av_frame_get_buffer(output.get(), 32) < 0)
        return nullptr;
    if (sws_scale(scaler, source->data, source->linesize, 0, source->height, output->data, output->linesize)
        <= 0)
        return nullptr;
    // The capture time rides with the picture, so a recording keeps the examination's pace
    // whatever rate the camera sends at and whichever frames are dropped on the way.
    const int64_t captured = source->best_effort_timestamp;
    output->pts = captured != AV_NOPTS_VALUE && m_timeBaseNum > 0 ? av_rescale_q(captured,
                      AVRational { m_timeBaseNum, m_timeBaseDen }, AVRational { 1, kCaptureTimeBase })
                                                                  : av_gettime_relative();
    return output;
}

void CamGrabber::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_stopRequested = true;
    // The loop sees the flag within one pause and FFmpeg's own waits end through the
    // interrupt callback; only a driver stuck inside a read (which no flag reaches) keeps
    // the thread past the deadline, and only then is it ended by force.
    if (!m_thread.join(QDeadlineTimer(kTerminateAfterMs)))
        m_thread.terminate();

    QMutexLocker locker(&m_lock);
    m_packet.reset();
    m_decoder.reset();
    m_input.reset();
    m_scaler.reset();
}

int CamGrabber::width() const
{
    return m_open ? m_width : -1;
}

int CamGrabber::height() const
{
    return m_open ? m_height : -1;
}

double CamGrabber::frameRate() const
{
    return m_open ? m_frameRate : 0.0;
}

CaptureFormats CamGrabber::offeredFormats() const
{
    return m_open ? m_offered : CaptureFormats();
}

CaptureFormat CamGrabber::format() const
{
    return m_open ? m_format : CaptureFormat();
}

bool CamGrabber::isReading() const
{
    return m_thread.isRunning();
}

bool CamGrabber::takeGrabError()
{
    return m_grabError.exchange(false);
}
