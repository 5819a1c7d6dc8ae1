#include "PacedRecording.h"

#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {
constexpr qint64 kRecordMs = 4000;
}

PacedRecording PacedRecording::record(CamGrabber& grabber, const QString& file)
{
    CamViewer viewer;
    CamRecorder recorder(20);
    QElapsedTimer sinceFirstFrame;
    std::atomic<bool> started { false };
    recorder.setFrameObserver([&](qint64) {
        if (!started.exchange(true))
            sinceFirstFrame.start();
    });
    viewer.setGrabber(&grabber);
    PacedRecording result;
    if (!QTest::qWaitFor([&] { return viewer.sourceWidth() > 0; }, 5000) || !recorder.start(&viewer, file))
        return result;
    const bool longEnough = QTest::qWaitFor(
        [&] { return started && sinceFirstFrame.elapsed() >= kRecordMs; }, kRecordMs + 6000);
    recorder.stop();
    result.recorded = longEnough;
    result.tookSeconds = sinceFirstFrame.elapsed() / 1000.0;
    result.playsSeconds = mp4Duration(file);
    return result;
}

bool PacedRecording::playsAsLongAsItTook() const
{
    return qAbs(playsSeconds - tookSeconds) <= 0.05 * tookSeconds;
}

QString PacedRecording::timing() const
{
    return QStringLiteral("took %1 s, plays %2 s").arg(tookSeconds).arg(playsSeconds);
}

double mp4Duration(const QString& path)
{
    QProcess probe;
    probe.start("ffprobe", { "-v", "error", "-of", "csv=p=0", "-show_entries", "format=duration", path });
    return probe.waitForFinished(60000) ? probe.readAll().trimmed().toDouble() : 0.0;
}
