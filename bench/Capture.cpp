// capture [--clip FILE] [--frames N]: a 1920x1080 30 fps MJPEG 4:2:2 clip as a UVC camera
// sends it, read through CamGrabber; times takeFrame (decode + convert) and, on the same
// packets in the same run, a bare libavcodec + swscale loop doing the same work.
// capture --device NODE [--frames N]: a camera node opened as the camera window opens it
// (with the V4L2 camera emulator preloaded, FFmpeg's real V4L2 path); prints the format it
// was opened in and times takeFrame on its live pictures.

#include "Scenario.h"

#include "CamGrabber.h"
#include "FfmpegPtr.h"
#include "PacedClip.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {
// The clip's demuxer name as CamGrabber::openInput takes it (first of "matroska,webm").
QByteArray demuxerName(const QByteArray& path)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.constData(), nullptr, nullptr) < 0)
        return QByteArray();
    const ffmpeg::InputContextPtr input(raw);
    return QByteArray(input->iformat->name).split(',').first();
}

// Decoding the grabber's way: the stream's decoder opened without options, converted by
// swscale at the same size into a 32-byte aligned YUV420P frame that is reused.
struct ReferenceDecoder {
    ffmpeg::InputContextPtr input;
    ffmpeg::CodecContextPtr decoder;
    ffmpeg::SwsContextPtr scaler;
    ffmpeg::FramePtr source { av_frame_alloc() };
    ffmpeg::FramePtr output { av_frame_alloc() };
    std::vector<ffmpeg::PacketPtr> packets;
    size_t next = 0;

    bool load(const QByteArray& path, int count)
    {
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, path.constData(), nullptr, nullptr) < 0)
            return false;
        input.reset(raw);
        if (avformat_find_stream_info(input.get(), nullptr) < 0)
            return false;
        const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream < 0)
            return false;
        const AVCodecParameters* parameters = input->streams[stream]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        decoder.reset(avcodec_alloc_context3(codec));
        if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0
            || avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return false;
        scaler.reset(sws_getContext(decoder->width, decoder->height, decoder->pix_fmt, decoder->width,
            decoder->height, AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
        output->format = AV_PIX_FMT_YUV420P;
        output->width = decoder->width;
        output->height = decoder->height;
        if (!scaler || av_frame_get_buffer(output.get(), 32) < 0)
            return false;
        while (int(packets.size()) < count) {
            ffmpeg::PacketPtr packet(av_packet_alloc());
            if (av_read_frame(input.get(), packet.get()) < 0)
                break;
            if (packet->stream_index == stream)
                packets.push_back(std::move(packet));
        }
        return !packets.empty();
    }

    // Milliseconds for the next packet (cycling through them), or -1 when it fails.
    double decodeNext()
    {
        const ffmpeg::PacketPtr& packet = packets[next++ % packets.size()];
        QElapsedTimer clock;
        clock.start();
        if (avcodec_send_packet(decoder.get(), packet.get()) < 0
            || avcodec_receive_frame(decoder.get(), source.get()) < 0)
            return -1;
        sws_scale(
            scaler.get(), source->data, source->linesize, 0, source->height, output->data, output->linesize);
        av_frame_unref(source.get());
        return double(clock.nsecsElapsed()) / 1e6;
    }
};

int runDeviceCapture(const QByteArray& node, int frames)
{
    CamGrabber grabber;
    if (!grabber.open(node.constData())) {
        std::fprintf(stderr, "capture: cannot open %s\n", node.constData());
        return 1;
    }
    const CaptureFormat format = grabber.format();
    std::printf("capture_format %s %dx%d %s\n",
        qPrintable(format.isValid() ? format.fourccText() : QStringLiteral("-")), grabber.width(),
        grabber.height(), qPrintable(CaptureFormat::fpsText(grabber.frameRate())));
    std::vector<double> takeMs;
    QElapsedTimer running;
    running.start();
    while (int(takeMs.size()) < frames && grabber.isReading()) {
        QElapsedTimer clock;
        clock.start();
        const ffmpeg::FramePtr frame = grabber.takeFrame();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (frame)
            takeMs.push_back(ms);
        else
            QThread::msleep(1);
    }
    const double seconds = double(running.elapsed()) / 1000.0;
    grabber.close();
    bench::print("capture_frames", double(takeMs.size()), "frames");
    bench::print("capture_delivered_fps", seconds > 0 ? double(takeMs.size()) / seconds : 0.0, "fps");
    bench::print("capture_takeframe_ms_median", bench::median(takeMs), "ms");
    bench::print("capture_takeframe_ms_p95", bench::percentile(takeMs, 0.95), "ms");
    return 0;
}

int runCapture(const QStringList& args)
{
    const int frames = bench::optionValue(args, QStringLiteral("--frames"), QStringLiteral("200")).toInt();
    const QString device = bench::optionValue(args, QStringLiteral("--device"));
    if (!device.isEmpty())
        return runDeviceCapture(QFile::encodeName(device), frames);
    QTemporaryDir folder;
    QString clip = bench::optionValue(args, QStringLiteral("--clip"));
    if (clip.isEmpty())
        clip = makeCameraClip(folder.path());
    const QByteArray path = clip.toLocal8Bit();
    const QByteArray format = demuxerName(path);
    if (clip.isEmpty() || format.isEmpty()) {
        std::fprintf(stderr, "capture: no clip to read\n");
        return 1;
    }

    // The bare loop works on the clip's first packets, read before the timing starts.
    ReferenceDecoder reference;
    if (!reference.load(path, frames)) {
        std::fprintf(stderr, "capture: reference cannot read %s\n", path.constData());
        return 1;
    }
    // Every packet the grabber stores is taken and timed as the view would take it. Each
    // take is paired with one bare decode, alternately just before and just after it, so
    // both see the same machine load and neither always runs on a warmer cache.
    std::vector<double> grabberMs;
    std::vector<double> referenceMs;
    CamGrabber grabber;
    if (!grabber.openInput(format.constData(), path.constData())) {
        std::fprintf(stderr, "capture: grabber cannot open %s\n", path.constData());
        return 1;
    }
    const auto decodeBare = [&] {
        const double ms = reference.decodeNext();
        if (ms >= 0)
            referenceMs.push_back(ms);
    };
    bool bareFirst = false;
    while (int(grabberMs.size()) < frames && grabber.isReading()) {
        if (bareFirst)
            decodeBare();
        ffmpeg::FramePtr frame;
        double ms = 0;
        while (!frame && grabber.isReading()) {
            QElapsedTimer clock;
            clock.start();
            frame = grabber.takeFrame();
            ms = double(clock.nsecsElapsed()) / 1e6;
            if (!frame)
                QThread::msleep(1);
        }
        if (!frame)
            break;
        grabberMs.push_back(ms);
        frame.reset();
        if (!bareFirst)
            decodeBare();
        bareFirst = !bareFirst;
    }
    grabber.close();

    const double grabberMedian = bench::median(grabberMs);
    const double referenceMedian = bench::median(referenceMs);
    bench::print("capture_frames", double(grabberMs.size()), "frames");
    bench::print("capture_takeframe_ms_median", grabberMedian, "ms");
    bench::print("capture_takeframe_ms_p95", bench::percentile(grabberMs, 0.95), "ms");
    bench::print("capture_reference_ms_median", referenceMedian, "ms");
    bench::print("capture_ratio", referenceMedian > 0 ? grabberMedian / referenceMedian : 0.0, "x");
    return 0;
}
} // namespace

KARVEX_SCENARIO(
    capture, ScenarioApp::Console, "capture [--clip FILE | --device NODE] [--frames N]", runCapture);
