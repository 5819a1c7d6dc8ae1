#include "Mp4Probe.h"

#include "FfmpegPtr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>

namespace {
struct Input {
    ffmpeg::InputContextPtr format;
    ffmpeg::CodecContextPtr decoder;
    AVStream* stream = nullptr;

    explicit Input(const QString& path)
    {
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, path.toLocal8Bit().constData(), nullptr, nullptr) < 0)
            return;
        format.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0 || raw->nb_streams != 1)
            return;
        AVStream* video = raw->streams[0];
        const AVCodec* codec = avcodec_find_decoder(video->codecpar->codec_id);
        decoder.reset(avcodec_alloc_context3(codec));
        if (!codec || !decoder || avcodec_parameters_to_context(decoder.get(), video->codecpar) < 0
            || avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return;
        stream = video;
    }
    // Sends one packet (null drains) and counts the frames that come out.
    int decode(const AVPacket* packet)
    {
        if (avcodec_send_packet(decoder.get(), packet) < 0)
            return 0;
        ffmpeg::FramePtr frame(av_frame_alloc());
        int frames = 0;
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0)
            ++frames;
        return frames;
    }
};
} // namespace

Mp4Info probeMp4(const QString& path)
{
    Mp4Info info;
    Input input(path);
    if (!input.stream)
        return info;
    const AVStream* stream = input.stream;
    info.opened = true;
    info.h264 = stream->codecpar->codec_id == AV_CODEC_ID_H264;
    info.width = stream->codecpar->width;
    info.height = stream->codecpar->height;
    info.timeBaseDen = stream->time_base.num == 1 ? stream->time_base.den : 0;
    info.frameRate = av_q2d(stream->r_frame_rate);
    if (input.format->duration > 0)
        info.durationS = input.format->duration / double(AV_TIME_BASE);

    QList<int64_t> keyPts;
    int64_t firstPts = INT64_MAX;
    ffmpeg::PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.format.get(), packet.get()) >= 0) {
        if (packet->pts != AV_NOPTS_VALUE) {
            firstPts = std::min(firstPts, packet->pts);
            if (packet->flags & AV_PKT_FLAG_KEY)
                keyPts << packet->pts;
        }
        info.decodedFrames += input.decode(packet.get());
        av_packet_unref(packet.get());
    }
    info.decodedFrames += input.decode(nullptr);
    const double frameTicks = 1.0 / (av_q2d(stream->time_base) * 30.0);
    for (int64_t pts : qAsConst(keyPts))
        info.keyFrames << int(std::lround(double(pts - firstPts) / frameTicks));
    std::sort(info.keyFrames.begin(), info.keyFrames.end());
    return info;
}

double seekAndDecode(const QString& path, double seconds)
{
    Input input(path);
    if (!input.stream)
        return -1;
    const int64_t start = input.stream->start_time == AV_NOPTS_VALUE ? 0 : input.stream->start_time;
    const int64_t target = start + int64_t(seconds / av_q2d(input.stream->time_base));
    if (av_seek_frame(input.format.get(), 0, target, AVSEEK_FLAG_BACKWARD) < 0)
        return -1;
    ffmpeg::PacketPtr packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    while (av_read_frame(input.format.get(), packet.get()) >= 0) {
        const bool sent = avcodec_send_packet(input.decoder.get(), packet.get()) >= 0;
        av_packet_unref(packet.get());
        if (sent && avcodec_receive_frame(input.decoder.get(), frame.get()) >= 0)
            return (frame->best_effort_timestamp - start) * av_q2d(input.stream->time_base);
    }
    return -1;
}
