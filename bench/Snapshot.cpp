// snapshot [--clip FILE] [--count N]: full-size BMP snapshots of the shown picture (by
// default 1080p) through CamRecorder::snapshot, one per new picture; times each call.

#include "Scenario.h"

#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "PacedClip.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {
int runSnapshot(const QStringList& args)
{
    av_log_set_level(AV_LOG_ERROR);
    const int count
        = qMax(1, bench::optionValue(args, QStringLiteral("--count"), QStringLiteral("30")).toInt());
    QTemporaryDir scratch;
    CamGrabber grabber;
    if (!openPacedClip(grabber, args, scratch.path(), "snapshot"))
        return 1;
    CamViewer viewer;
    CamRecorder recorder(20);
    std::vector<double> snapshotMs;
    int failed = 0;
    // Right after a picture was shown, as a key press between two display ticks.
    viewer.setPresentHook([&](const AVFrame*) {
        QTimer::singleShot(0, qApp, [&] {
            if (int(snapshotMs.size()) >= count)
                return;
            const QString file = scratch.path() + QStringLiteral("/snap%1.bmp").arg(snapshotMs.size());
            QElapsedTimer clock;
            clock.start();
            const bool saved = recorder.snapshot(&viewer, file);
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            if (saved)
                snapshotMs.push_back(ms);
            else if (++failed > count)
                QCoreApplication::exit(1);
            if (int(snapshotMs.size()) >= count)
                QCoreApplication::quit();
        });
    });
    viewer.setGrabber(&grabber);
    const int status = QCoreApplication::exec();
    const int width = viewer.sourceWidth();
    const int height = viewer.sourceHeight();
    viewer.setGrabber(nullptr);
    grabber.close();
    if (status != 0) {
        std::fprintf(stderr, "snapshot: no picture to save\n");
        return 1;
    }
    std::printf("snapshot_size %dx%d\n", width, height);
    bench::print("snapshot_ms_median", bench::median(snapshotMs), "ms");
    bench::print("snapshot_ms_p95", bench::percentile(snapshotMs, 0.95), "ms");
    return 0;
}
} // namespace

KARVEX_SCENARIO(snapshot, ScenarioApp::Widgets, "snapshot [--clip FILE] [--count N]", runSnapshot);
