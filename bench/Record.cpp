// record [--clip FILE] [--seconds S] [--segment-seconds N] [--out DIR]: a 30 fps clip (by
// default 1080p MJPEG) through CamGrabber -> CamViewer -> CamRecorder for S seconds; times
// every frame on the recording thread and checks that no shown frame was left out.

#include "Scenario.h"

#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "FfmpegPtr.h"
#include "PacedClip.h"

#include <QApplication>
#include <QDir>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {
// Video packets in a file, read back with libavformat.
int packetsIn(const QString& path)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return 0;
    const ffmpeg::InputContextPtr input(raw);
    ffmpeg::PacketPtr packet(av_packet_alloc());
    int packets = 0;
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        ++packets;
        av_packet_unref(packet.get());
    }
    return packets;
}

int runRecord(const QStringList& args)
{
    av_log_set_level(AV_LOG_ERROR);
    const double seconds
        = bench::optionValue(args, QStringLiteral("--seconds"), QStringLiteral("20")).toDouble();
    const double segmentSeconds
        = bench::optionValue(args, QStringLiteral("--segment-seconds"), QStringLiteral("0")).toDouble();
    QTemporaryDir scratch;
    QString out = bench::optionValue(args, QStringLiteral("--out"));
    if (out.isEmpty())
        out = scratch.path();
    QDir().mkpath(out);

    CamGrabber grabber;
    if (!openPacedClip(grabber, args, scratch.path(), "record"))
        return 1;
    CamViewer viewer;
    viewer.resize(960, 540);
    viewer.show();
    bool recording = false;
    int shown = 0;
    viewer.setPresentHook([&](const AVFrame*) { shown += recording ? 1 : 0; });
    viewer.setGrabber(&grabber);

    CamRecorder recorder(20);
    if (segmentSeconds > 0)
        recorder.setSegmentMs(qint64(segmentSeconds * 1000));
    QMutex lock;
    std::vector<double> encodeMs;
    encodeMs.reserve(size_t(seconds * 40));
    recorder.setFrameObserver([&](qint64 ns) {
        QMutexLocker locker(&lock);
        encodeMs.push_back(double(ns) / 1e6);
    });

    QStringList files;
    // Recording starts once the view shows pictures, as an operator would press Record.
    QTimer::singleShot(1000, qApp, [&] {
        recording = recorder.start(&viewer, out + QStringLiteral("/record.mp4"));
        if (!recording) {
            QCoreApplication::exit(1);
            return;
        }
        QTimer::singleShot(int(seconds * 1000), qApp, [&] {
            files = recorder.stop();
            recording = false;
            QCoreApplication::quit();
        });
    });
    const int status = QCoreApplication::exec();
    viewer.setGrabber(nullptr);
    grabber.close();
    if (status != 0) {
        std::fprintf(stderr, "record: the recording did not start\n");
        return 1;
    }

    int written = 0;
    for (const QString& file : qAsConst(files))
        written += packetsIn(file);
    QMutexLocker locker(&lock);
    bench::print("record_encode_ms_median", bench::median(encodeMs), "ms");
    bench::print("record_encode_ms_p95", bench::percentile(encodeMs, 0.95), "ms");
    bench::print("record_frames_shown", shown, "frames");
    bench::print("record_frames_encoded", double(encodeMs.size()), "frames");
    bench::print("record_frames_written", written, "frames");
    for (const QString& file : qAsConst(files))
        std::printf("record_file %s\n", qPrintable(QDir::toNativeSeparators(file)));
    return 0;
}
} // namespace

KARVEX_SCENARIO(record, ScenarioApp::Widgets,
    "record [--clip FILE] [--seconds S] [--segment-seconds N] [--out DIR]", runRecord);
