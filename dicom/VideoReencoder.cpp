#include "VideoReencoder.h"

#include "FfmpegPtr.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <map>

namespace {
// H.264 level 4.1: at most 8192 macroblocks a frame, 245760 a second, and neither side longer
// than sqrt(8 * 8192) macroblocks.
constexpr int MaxFrameMacroblocks = 8192;
constexpr int MaxMacroblocksPerSecond = 245760;
constexpr int MaxSideMacroblocks = 256;
// Peak bit rate and buffer within the level's limits for High profile (62.5 Mbit/s).
constexpr int64_t MaxBitRate = 50'000'000;
constexpr int BufferBits = 62'500'000;

int macroblocks(int pixels)
{
    return (pixels + 15) / 16;
}

bool fits(int width, int height, int maxMacroblocks)
{
    return macroblocks(width) * macroblocks(height) <= maxMacroblocks
        && macroblocks(width) <= MaxSideMacroblocks && macroblocks(height) <= MaxSideMacroblocks;
}

QString ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// An output file: the muxer's I/O handle is closed before the context is freed.
struct OutputDeleter {
    void operator()(AVFormatContext* output) const
    {
        if (output->pb)
            avio_closep(&output->pb);
        avformat_free_context(output);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

int64_t frameDuration(const AVFrame* frame)
{
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}

class Transcoder
{
public:
    explicit Transcoder(const QString& videoPath)
        : m_videoPath(videoPath)
    { }

    QString run(const QString& mp4Path, VideoReencoder::Result& result);

private:
    QString openInput();
    QString openOutput(const QString& mp4Path);
    QString decodeAll();
    QString encode(AVFrame* decoded);
    QString writePackets();
    // The frame to encode: the decoded one itself, or its copy scaled to the level's size.
    AVFrame* converted(AVFrame* decoded);

    QString m_videoPath;
    ffmpeg::InputContextPtr m_input;
    AVStream* m_inStream = nullptr;
    ffmpeg::CodecContextPtr m_decoder;
    ffmpeg::CodecContextPtr m_encoder;
    OutputPtr m_output;
    AVStream* m_outStream = nullptr;
    ffmpeg::SwsContextPtr m_scaler;
    ffmpeg::FramePtr m_decoded { av_frame_alloc() };
    ffmpeg::FramePtr m_scaled { av_frame_alloc() };
    ffmpeg::PacketPtr m_read { av_packet_alloc() };
    ffmpeg::PacketPtr m_encoded { av_packet_alloc() };
    QSize m_size;
    // Each frame's duration by its time stamp, for the packet the encoder makes of it
    // (frames come out of the encoder in another order than they went in).
    std::map<int64_t, int64_t> m_durations;
    int64_t m_firstPts = AV_NOPTS_VALUE;
    int64_t m_lastPts = AV_NOPTS_VALUE;
    int64_t m_endPts = AV_NOPTS_VALUE;
    int m_frames = 0;
};

QString Transcoder::openInput()
{
    const QString cannotRead = QStringLiteral("The recording %1 cannot be read: %2.");
    AVFormatContext* input = nullptr;
    const QByteArray name = QFile::encodeName(m_videoPath);
    int code = avformat_open_input(&input, name.constData(), nullptr, nullptr);
    if (code < 0)
        return cannotRead.arg(m_videoPath, ffmpegError(code));
    m_input.reset(input);
    if ((code = avformat_find_stream_info(input, nullptr)) < 0)
        return cannotRead.arg(m_videoPath, ffmpegError(code));
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0 || !decoder)
        return QStringLiteral("The recording %1 holds no video that can be decoded.").arg(m_videoPath);
    m_inStream = input->streams[index];
    m_decoder.reset(avcodec_alloc_context3(decoder));
    if (!m_decoder || avcodec_parameters_to_context(m_decoder.get(), m_inStream->codecpar) < 0)
        return cannotRead.arg(m_videoPath, QStringLiteral("out of memory"));
    m_decoder->pkt_timebase = m_inStream->time_base;
    m_decoder->thread_count = 0;
    if ((code = avcodec_open2(m_decoder.get(), decoder, nullptr)) < 0)
        return cannotRead.arg(m_videoPath, ffmpegError(code));
    if (m_decoder->width < 1 || m_decoder->height < 1)
        return QStringLiteral("The recording %1 holds no video that can be decoded.").arg(m_videoPath);
    return {};
}

QString Transcoder::openOutput(const QString& mp4Path)
{
    const QString cannotEncode = QStringLiteral("The video cannot be encoded: %1.");
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        return cannotEncode.arg(QStringLiteral("no H.264 encoder (libx264) is available"));
    AVRational rate = m_inStream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = m_inStream->r_frame_rate.num > 0 ? m_inStream->r_frame_rate : AVRational { 30, 1 };
    m_size = VideoReencoder::fittingSize(QSize(m_decoder->width, m_decoder->height), av_q2d(rate));

    AVFormatContext* output = nullptr;
    const QByteArray name = QFile::encodeName(mp4Path);
    if (avformat_alloc_output_context2(&output, nullptr, "mp4", name.constData()) < 0 || !output)
        return cannotEncode.arg(QStringLiteral("out of memory"));
    m_output.reset(output);
    m_outStream = avformat_new_stream(output, nullptr);
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_outStream || !m_encoder || !m_decoded || !m_scaled || !m_read || !m_encoded)
        return cannotEncode.arg(QStringLiteral("out of memory"));

    AVCodecContext* encoder = m_encoder.get();
    encoder->width = m_size.width();
    encoder->height = m_size.height();
    encoder->sample_aspect_ratio = AVRational { 1, 1 };
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->color_range = AVCOL_RANGE_MPEG;
    // The recording's own clock: every frame keeps its time stamp.
    encoder->time_base = m_inStream->time_base;
    encoder->framerate = rate;
    encoder->level = 41;
    encoder->rc_max_rate = MaxBitRate;
    encoder->rc_buffer_size = BufferBits;
    encoder->thread_count = 0;
    av_opt_set(encoder->priv_data, "profile", "high", 0);
    // Recordings can be long and the station has few cores: speed comes before size
    // (veryfast makes files about half as large at two thirds of the speed).
    av_opt_set(encoder->priv_data, "preset", "superfast", 0);
    av_opt_set(encoder->priv_data, "crf", "20", 0);
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(encoder, codec, nullptr);
    if (code < 0 || (code = avcodec_parameters_from_context(m_outStream->codecpar, encoder)) < 0)
        return cannotEncode.arg(ffmpegError(code));
    m_outStream->time_base = encoder->time_base;

    const QString cannotWrite = QStringLiteral("The temporary video file %1 cannot be written: %2.");
    if ((code = avio_open(&output->pb, name.constData(), AVIO_FLAG_WRITE)) < 0)
        return cannotWrite.arg(mp4Path, ffmpegError(code));
    // A plain MP4 with its index moved to the front once everything is written.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    code = avformat_write_header(output, &options);
    av_dict_free(&options);
    if (code < 0)
        return cannotWrite.arg(mp4Path, ffmpegError(code));
    return {};
}

AVFrame* Transcoder::converted(AVFrame* decoded)
{
    const bool fullRange = decoded->color_range == AVCOL_RANGE_JPEG || decoded->format == AV_PIX_FMT_YUVJ420P;
    if (decoded->width == m_size.width() && decoded->height == m_size.height()
        && decoded->format == AV_PIX_FMT_YUV420P && !fullRange)
        return decoded;
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), decoded->width, decoded->height,
        AVPixelFormat(decoded->format), m_size.width(), m_size.height(), AV_PIX_FMT_YUV420P, SWS_BICUBIC,
        nullptr, nullptr, nullptr));
    if (!m_scaler)
        return nullptr;
    if (fullRange) {
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_scaler.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    }
    AVFrame* scaled = m_scaled.get();
    if (!scaled->data[0]) {
        scaled->width = m_size.width();
        scaled->height = m_size.height();
        scaled->format = AV_PIX_FMT_YUV420P;
        if (av_frame_get_buffer(scaled, 0) < 0)
            return nullptr;
    }
    if (av_frame_make_writable(scaled) < 0)
        return nullptr;
    sws_scale(
        m_scaler.get(), decoded->data, decoded->linesize, 0, decoded->height, scaled->data, scaled->linesize);
    return scaled;
}

QString Transcoder::encode(AVFrame* decoded)
{
    const int64_t pts = decoded->best_effort_timestamp;
    // A frame without a time, or one out of order, cannot keep its place in the video.
    if (pts == AV_NOPTS_VALUE || (m_lastPts != AV_NOPTS_VALUE && pts <= m_lastPts))
        return {};
    AVFrame* frame = converted(decoded);
    if (!frame)
        return QStringLiteral("The video cannot be encoded: a picture cannot be converted.");
    if (m_firstPts == AV_NOPTS_VALUE)
        m_firstPts = pts;
    // The video starts with its first picture: the recording's own start offset would play
    // as a blank lead-in in a viewer. The distances between pictures stay as they were.
    frame->pts = pts - m_firstPts;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    const int64_t duration = frameDuration(decoded);
    m_durations[frame->pts] = duration;
    m_lastPts = pts;
    m_endPts = std::max(m_endPts, pts + std::max<int64_t>(duration, 0));
    const int code = avcodec_send_frame(m_encoder.get(), frame);
    if (code < 0)
        return QStringLiteral("The video cannot be encoded: %1.").arg(ffmpegError(code));
    ++m_frames;
    return writePackets();
}

QString Transcoder::writePackets()
{
    AVPacket* packet = m_encoded.get();
    int code = 0;
    while ((code = avcodec_receive_packet(m_encoder.get(), packet)) >= 0) {
        const auto duration = m_durations.find(packet->pts);
        if (duration != m_durations.end()) {
            packet->duration = duration->second;
            m_durations.erase(duration);
        }
        av_packet_rescale_ts(packet, m_encoder->time_base, m_outStream->time_base);
        packet->stream_index = m_outStream->index;
        code = av_interleaved_write_frame(m_output.get(), packet);
        av_packet_unref(packet);
        if (code < 0)
            return QStringLiteral("The temporary video file cannot be written: %1.").arg(ffmpegError(code));
    }
    if (code != AVERROR(EAGAIN) && code != AVERROR_EOF)
        return QStringLiteral("The video cannot be encoded: %1.").arg(ffmpegError(code));
    return {};
}

QString Transcoder::decodeAll()
{
    AVPacket* packet = m_read.get();
    bool draining = false;
    while (!draining) {
        const int read = av_read_frame(m_input.get(), packet);
        if (read < 0 && read != AVERROR_EOF)
            return QStringLiteral("The recording %1 cannot be read: %2.").arg(m_videoPath, ffmpegError(read));
        draining = read < 0;
        if (!draining && packet->stream_index != m_inStream->index) {
            av_packet_unref(packet);
            continue;
        }
        // A damaged packet (a recording cut off mid-fragment) is skipped, not fatal.
        (void)avcodec_send_packet(m_decoder.get(), draining ? nullptr : packet);
        av_packet_unref(packet);
        while (avcodec_receive_frame(m_decoder.get(), m_decoded.get()) >= 0) {
            QString error = encode(m_decoded.get());
            av_frame_unref(m_decoded.get());
            if (!error.isEmpty())
                return error;
        }
    }
    if (m_frames == 0)
        return QStringLiteral("The recording %1 holds no picture that can be decoded.").arg(m_videoPath);
    const int code = avcodec_send_frame(m_encoder.get(), nullptr);
    if (code < 0)
        return QStringLiteral("The video cannot be encoded: %1.").arg(ffmpegError(code));
    return writePackets();
}

QString Transcoder::run(const QString& mp4Path, VideoReencoder::Result& result)
{
    QString error = openInput();
    if (error.isEmpty())
        error = openOutput(mp4Path);
    if (error.isEmpty())
        error = decodeAll();
    if (!error.isEmpty())
        return error;
    int code = av_write_trailer(m_output.get());
    if (code >= 0 && m_output->pb && m_output->pb->error < 0)
        code = m_output->pb->error;
    if (code >= 0)
        code = avio_closep(&m_output->pb);
    if (code < 0)
        return QStringLiteral("The temporary video file %1 cannot be written: %2.")
            .arg(mp4Path, ffmpegError(code));
    result.frames = m_frames;
    result.size = m_size;
    result.durationSeconds = double(m_endPts - m_firstPts) * av_q2d(m_inStream->time_base);
    return {};
}
} // namespace

VideoReencoder::Result VideoReencoder::reencode(const QString& videoPath, const QString& mp4Path)
{
    Result result;
    result.error = Transcoder(videoPath).run(mp4Path, result);
    return result;
}

QSize VideoReencoder::fittingSize(const QSize& size, double framesPerSecond)
{
    // Camera rates wander a little around their nominal value; the nominal one counts.
    const double rate = std::max(1.0, std::round(framesPerSecond));
    const int maxMacroblocks = std::min(MaxFrameMacroblocks, int(MaxMacroblocksPerSecond / rate));
    if (size.isEmpty() || fits(size.width(), size.height(), maxMacroblocks))
        return size;
    // Start from the exact area the limit allows and narrow in steps of two pixels until the
    // rounded-up macroblocks fit too; the height follows the width (even, as 4:2:0 needs).
    const double scale = std::sqrt(double(maxMacroblocks) * 256.0 / (double(size.width()) * size.height()));
    int width = int(size.width() * scale) & ~1;
    for (; width > 2; width -= 2) {
        const int height = int(std::lround(double(width) * size.height() / size.width() / 2.0)) * 2;
        if (fits(width, std::max(height, 2), maxMacroblocks))
            return QSize(width, std::max(height, 2));
    }
    return QSize(2, 2);
}
