#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "Mp4Probe.h"
#include "TestSupport.h"

#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <atomic>

namespace {
// A lavfi test picture paced like a live camera, shown by a view as the camera window does.
struct Camera {
    CamGrabber grabber;
    CamViewer viewer;
    std::atomic<int> shown { 0 };

    explicit Camera(const char* size = "320x240")
    {
        viewer.setPresentHook([this](const AVFrame*) { ++shown; });
        const QByteArray source = QByteArray("testsrc2=size=") + size + ":rate=30,realtime";
        if (grabber.openInput("lavfi", source.constData()))
            viewer.setGrabber(&grabber);
    }
    ~Camera()
    {
        viewer.setGrabber(nullptr);
        grabber.close();
    }
    bool waitForPicture()
    {
        const int before = shown;
        return QTest::qWaitFor([&] { return shown > before; }, 5000);
    }
    // No further picture reaches the view, and the one it holds is gone.
    void cutOff()
    {
        viewer.setGrabber(nullptr);
        AVFrame* frame = viewer.takeLastFrame();
        av_frame_free(&frame);
    }
};

QSize imageSize(const QString& path, const QByteArray& format)
{
    QImageReader reader(path);
    return reader.format() == format ? reader.size() : QSize();
}
} // namespace

class TestCamRecorder : public QObject
{
    Q_OBJECT
    std::atomic<int> m_written { 0 };

    void countFrames(CamRecorder& recorder)
    {
        m_written = 0;
        recorder.setFrameObserver([this](qint64) { ++m_written; });
    }

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); } // x264 statistics per file

    void segmentNamesCountBeforeTheExtension()
    {
        QCOMPARE(CamRecorder::segmentName("C/20240102030405.mp4", 1), QString("C/20240102030405-001.mp4"));
        QCOMPARE(CamRecorder::segmentName("a.b.mp4", 12), QString("a.b-012.mp4"));
        QCOMPARE(CamRecorder::segmentName("name", 2), QString("name-002"));
        QCOMPARE(CamRecorder::segmentName(".mp4", 1), QString(".mp4-001"));
        QCOMPARE(CamRecorder::segmentName("clip.mp4", 1000), QString("clip-1000.mp4"));
        // A dot in a folder name is no extension: the segment stays in the same folder.
        QCOMPARE(CamRecorder::segmentName("/home/dr.lee/Capture/name", 1),
            QString("/home/dr.lee/Capture/name-001"));
    }

    void recordingIsSeekableH264AtTheSourceSize()
    {
        Camera camera("640x480");
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        countFrames(recorder);
        QVERIFY(recorder.start(&camera.viewer, "rec.mp4"));
        QVERIFY(camera.viewer.isRecordingIndicatorOn());
        QTRY_VERIFY_WITH_TIMEOUT(m_written >= 75, 10000);
        QCOMPARE(recorder.stop(), QStringList { "rec.mp4" });
        QVERIFY(!camera.viewer.isRecordingIndicatorOn());

        const Mp4Info info = probeMp4("rec.mp4");
        QVERIFY(info.h264);
        QCOMPARE(QSize(info.width, info.height), QSize(640, 480));
        QCOMPARE(info.timeBaseDen, 9000);
        QCOMPARE(info.frameRate, 30.0);
        QCOMPARE(info.decodedFrames, int(m_written));
        QVERIFY(qAbs(info.durationS - m_written / 30.0) < 0.1);
        QList<int> everySecond;
        for (int i = 0; i < m_written; i += 30)
            everySecond << i;
        QCOMPARE(info.keyFrames, everySecond);
        const double landed = seekAndDecode("rec.mp4", 2.0);
        QVERIFY2(landed > 0.9 && landed <= 2.0, qPrintable(QString::number(landed)));
        QCOMPARE(imageSize("rec.mp4-thumbnail.bmp", "bmp"), QSize(64, 48));
    }

    void framesAfterACameraStallAreAllRecorded()
    {
        Camera camera;
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        countFrames(recorder);
        QVERIFY(recorder.start(&camera.viewer, "stall.mp4"));
        camera.shown = 0;
        QTRY_VERIFY(m_written >= 10);
        camera.viewer.setGrabber(nullptr);
        QTest::qWait(1000); // the stall itself, not a wait for a result
        camera.viewer.setGrabber(&camera.grabber);
        const int resumed = camera.shown;
        QTRY_VERIFY_WITH_TIMEOUT(camera.shown >= resumed + 30, 5000);
        recorder.stop();
        const int decoded = probeMp4("stall.mp4").decodedFrames;
        QVERIFY2(qAbs(decoded - camera.shown) <= 3,
            qPrintable(QStringLiteral("%1 shown, %2 recorded").arg(int(camera.shown)).arg(decoded)));
    }

    void rollOverWritesNumberedSegmentsInOrder_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("segments");
        QTest::newRow("extension") << "cap/T.mp4"
                                   << QStringList { "cap/T.mp4", "cap/T-001.mp4", "cap/T-002.mp4" };
        QTest::newRow("no extension")
            << "cap/name" << QStringList { "cap/name", "cap/name-001", "cap/name-002" };
    }
    void rollOverWritesNumberedSegmentsInOrder()
    {
        QFETCH(QString, base);
        QFETCH(QStringList, segments);
        QDir().mkpath("cap");
        Camera camera;
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        recorder.setSegmentMs(1000);
        QVERIFY(recorder.start(&camera.viewer, base));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(segments.last() + "-thumbnail.bmp"), 10000);
        const QStringList files = recorder.stop();
        QCOMPARE(files.mid(0, 3), segments);
        for (int i = 0; i < files.size(); ++i) {
            QCOMPARE(files.at(i), i ? CamRecorder::segmentName(base, i) : base);
            const Mp4Info info = probeMp4(files.at(i));
            QVERIFY2(info.h264 && info.decodedFrames > 0, qPrintable(files.at(i)));
            QCOMPARE(info.keyFrames.value(0, -1), 0);
            QCOMPARE(imageSize(files.at(i) + "-thumbnail.bmp", "bmp"), QSize(32, 24));
        }
    }

    void stopWhileASegmentIsBeingSwitchedEndsTheRecording()
    {
        Camera camera;
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        recorder.setSegmentMs(1); // the first frame already ends the segment
        QSemaphore encoded;
        QSemaphore resume;
        std::atomic<bool> hold { true };
        recorder.setFrameObserver([&](qint64) {
            if (hold.exchange(false)) {
                encoded.release();
                resume.acquire(); // the recording thread waits here, just before the switch
            }
        });
        QVERIFY(recorder.start(&camera.viewer, "switch.mp4"));
        QTRY_VERIFY(encoded.available() > 0);
        QStringList files;
        std::unique_ptr<QThread> stopper(QThread::create([&] { files = recorder.stop(); }));
        stopper->start();
        // The stop has cleared the running flag by the time its indicator switch-off arrives.
        QTRY_VERIFY(!camera.viewer.isRecordingIndicatorOn());
        resume.release();
        const bool stopped = stopper->wait(10000);
        if (!stopped)
            recorder.stop(); // the switch revived the recording; end it so the test can go on
        stopper->wait();
        QVERIFY(stopped);
        QCOMPARE(files, QStringList { "switch.mp4" });
    }

    void aKilledRecordingPlaysUpToItsLastSecond()
    {
        QProcess child;
        child.setProgram(QStringLiteral(RECORDER_CHILD));
        child.setArguments({ "killed.mp4" });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start();
        QVERIFY(child.waitForStarted());
        int written = 0;
        const bool recorded = QTest::qWaitFor(
            [&] {
                while (child.canReadLine())
                    written = child.readLine().trimmed().mid(7).toInt();
                return written >= 100;
            },
            15000);
        QVERIFY2(recorded, qPrintable(QStringLiteral("%1 frames written").arg(written)));
        child.kill(); // SIGKILL: no trailer, no flush, no destructor
        QVERIFY(child.waitForFinished());

        const Mp4Info info = probeMp4("killed.mp4");
        QVERIFY(info.h264);
        // Fragments close at every key frame (30 frames); allow for the one cut off.
        QVERIFY2(info.decodedFrames >= written - 45 && info.decodedFrames <= written + 5,
            qPrintable(QStringLiteral("%1 written, %2 readable").arg(written).arg(info.decodedFrames)));
    }

    void thumbnailsAreATenthAndSnapshotsFullSize()
    {
        Camera camera("1920x1080");
        QVERIFY(camera.waitForPicture());
        QVERIFY(recorderSnapshot(camera, "still.bmp"));
        QCOMPARE(imageSize("still.bmp", "bmp"), QSize(1920, 1080));

        CamRecorder recorder(20);
        countFrames(recorder);
        QVERIFY(recorder.start(&camera.viewer, "hd.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(m_written >= 1, 10000);
        recorder.stop();
        QCOMPARE(imageSize("hd.mp4-thumbnail.bmp", "bmp"), QSize(192, 108));
    }

    void snapshotWhileRecordingTakesOnlyTheLastEncodedFrame()
    {
        Camera camera;
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        QSemaphore encoded;
        QSemaphore resume;
        std::atomic<bool> hold { false };
        recorder.setFrameObserver([&](qint64) {
            if (hold) {
                encoded.release();
                resume.acquire(); // the recording thread waits here with its frame encoded
            }
        });
        QVERIFY(recorder.start(&camera.viewer, "snap.mp4"));
        const auto release = qScopeGuard([&] {
            hold = false;
            resume.release();
            recorder.stop(); // before the semaphores go
        });
        hold = true;
        QTRY_VERIFY(encoded.available() > 0);
        // The view goes on showing pictures, but while recording they are not the source.
        QVERIFY(camera.waitForPicture());
        QVERIFY(recorder.snapshot(&camera.viewer, "first.bmp"));
        QVERIFY(!recorder.snapshot(&camera.viewer, "second.bmp"));
        QVERIFY(!QFile::exists("second.bmp"));
        QCOMPARE(imageSize("first.bmp", "bmp"), QSize(320, 240));
    }

    void snapshotWithoutAPictureFails()
    {
        // The event loop has not run yet, so the view has not shown any picture.
        Camera camera;
        CamRecorder recorder(20);
        QVERIFY(!recorder.snapshot(&camera.viewer, "none.bmp"));
        QVERIFY(!recorder.snapshot(nullptr, "none.bmp"));
        // Recording, but no frame encoded yet.
        QVERIFY(recorder.start(&camera.viewer, "empty.mp4"));
        QVERIFY(!recorder.snapshot(&camera.viewer, "none.bmp"));
        recorder.stop();
        QVERIFY(camera.waitForPicture());
        camera.cutOff();
        QVERIFY(!recorder.snapshot(&camera.viewer, "none.bmp"));
        QVERIFY(!QFile::exists("none.bmp"));
    }

    void refusedStartsAndIdleStopsLeaveTheViewAlone()
    {
        CamRecorder recorder(20);
        CamViewer noCamera;
        QVERIFY(!recorder.start(nullptr, "x.mp4"));
        QVERIFY(!recorder.start(&noCamera, "x.mp4"));
        Camera camera;
        QVERIFY(!recorder.start(&camera.viewer, QString()));
        QVERIFY(!recorder.start(&camera.viewer, "missing-folder/x.mp4"));
        QVERIFY(!camera.viewer.isRecordingIndicatorOn());
        camera.viewer.setRecording(true);
        QVERIFY(recorder.stop().isEmpty());
        QVERIFY(camera.viewer.isRecordingIndicatorOn());
        camera.viewer.setRecording(false);
    }

    void startWhileRecordingClosesTheRunningRecording()
    {
        Camera camera;
        QVERIFY(camera.waitForPicture());
        CamRecorder recorder(20);
        countFrames(recorder);
        QVERIFY(recorder.start(&camera.viewer, "a.mp4"));
        QTRY_VERIFY(m_written >= 10);
        const int writtenToA = m_written;
        QVERIFY(recorder.start(&camera.viewer, "b.mp4"));
        QVERIFY(probeMp4("a.mp4").decodedFrames >= writtenToA); // drained and closed
        QTRY_VERIFY(m_written >= writtenToA + 5);
        QCOMPARE(recorder.stop(), QStringList { "b.mp4" });
    }

    void failedRollOverEndsTheRecordingButKeepsItsSegments()
    {
        Camera camera;
        QVERIFY(camera.waitForPicture());
        QDir().mkpath("blocked-001.mp4"); // the next segment cannot be created
        CamRecorder recorder(20);
        recorder.setSegmentMs(500);
        QVERIFY(recorder.start(&camera.viewer, "blocked.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(!camera.viewer.isRecordingIndicatorOn(), 5000);
        QVERIFY(camera.waitForPicture());
        QVERIFY(recorder.snapshot(&camera.viewer, "after.bmp")); // the view is the source again
        QCOMPARE(recorder.stop(), QStringList { "blocked.mp4" });
        QVERIFY(probeMp4("blocked.mp4").decodedFrames > 0);
    }

private:
    static bool recorderSnapshot(Camera& camera, const QString& name)
    {
        CamRecorder recorder(20);
        return recorder.snapshot(&camera.viewer, name);
    }
};

KARVEX_TEST_MAIN(TestCamRecorder)
#include "TestCamRecorder.moc"
