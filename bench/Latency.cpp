// latency [--frames N] [--size WxH]: a live 30 fps 1080p test pattern shown by CamViewer on
// the current display; times each packet from being stored in the grabber's slot to its
// picture being presented.

#include "Scenario.h"

#include "CamGrabber.h"
#include "CamViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QTimer>

#include <cstdio>
#include <map>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
// The first pictures come from packets the input buffered while it was being opened.
constexpr int kWarmUpFrames = 30;

int runLatency(const QStringList& args)
{
    const int frames
        = qMax(300, bench::optionValue(args, QStringLiteral("--frames"), QStringLiteral("300")).toInt());
    const QStringList size = bench::optionValue(args, QStringLiteral("--size"), QStringLiteral("1280x720"))
                                 .split(QLatin1Char('x'));
    if (size.size() != 2) {
        std::fprintf(stderr, "latency: --size takes WxH\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    QMutex lock;
    std::map<qint64, qint64> storedNs; // packet pts -> time stored
    CamGrabber grabber;
    grabber.setPacketStoredHook([&](qint64 pts) {
        const qint64 now = clock.nsecsElapsed();
        QMutexLocker locker(&lock);
        storedNs[pts] = now;
    });

    CamViewer viewer;
    viewer.resize(size.at(0).toInt(), size.at(1).toInt());
    viewer.show();
    std::vector<double> latencyMs;
    int presented = 0;
    viewer.setPresentHook([&](const AVFrame* frame) {
        const qint64 now = clock.nsecsElapsed();
        qint64 stored = -1;
        {
            QMutexLocker locker(&lock);
            const auto it = storedNs.find(frame->pts);
            if (it != storedNs.end())
                stored = it->second;
            // Packets replaced in the slot before anybody took them never show up here.
            storedNs.erase(storedNs.begin(), storedNs.upper_bound(frame->pts));
        }
        if (++presented > kWarmUpFrames && stored >= 0)
            latencyMs.push_back(double(now - stored) / 1e6);
        if (int(latencyMs.size()) >= frames)
            QCoreApplication::quit();
    });
    if (!grabber.openInput("lavfi", "testsrc2=size=1920x1080:rate=30,loop=loop=-1:size=30,realtime")) {
        std::fprintf(stderr, "latency: cannot open the test source\n");
        return 1;
    }
    viewer.setGrabber(&grabber);
    QTimer::singleShot(60000 + frames * 100, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    viewer.setGrabber(nullptr);
    grabber.close();

    std::fprintf(
        stderr, "latency: renderer %s, %d frames presented\n", qPrintable(viewer.rendererName()), presented);
    if (int(latencyMs.size()) < frames) {
        std::fprintf(stderr, "latency: only %zu frames measured\n", latencyMs.size());
        return 1;
    }
    bench::print("latency_frames", double(latencyMs.size()), "frames");
    bench::print("latency_ms_p50", bench::percentile(latencyMs, 0.5), "ms");
    bench::print("latency_ms_p95", bench::percentile(latencyMs, 0.95), "ms");
    return 0;
}
} // namespace

KARVEX_SCENARIO(latency, ScenarioApp::Widgets, "latency [--frames N] [--size WxH]", runLatency);
