#include "CamGrabber.h"
#include "CamViewer.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QThread>

extern "C" {
#include <libavutil/frame.h>
}

// The view's state, events and frame hand-over, on the offscreen platform where SDL has
// no window to draw into: everything but the drawing must still work.
class TestCamViewerState : public QObject
{
    Q_OBJECT
private slots:
    void clockCountsHoursBeyondTwoDigits()
    {
        QCOMPARE(CamViewer::clockText(0), QStringLiteral("00:00:00"));
        QCOMPARE(CamViewer::clockText(59999), QStringLiteral("00:00:59"));
        QCOMPARE(CamViewer::clockText(3661000), QStringLiteral("01:01:01"));
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000 + 59 * 60000 + 59999), QStringLiteral("100:59:59"));
    }

    void startsUnzoomedAndUntransformed()
    {
        CamViewer viewer;
        QCOMPARE(viewer.zoom(), 1.0);
        QCOMPARE(viewer.rotation(), 0.0);
        QCOMPARE(viewer.flip(), 0);
        QVERIFY(!viewer.isFrozen());
        QVERIFY(!viewer.isRecordingIndicatorOn());
        QCOMPARE(viewer.sourceWidth(), 0);
        QVERIFY(!viewer.takeLastFrame());
        QCOMPARE(viewer.focusPolicy(), Qt::WheelFocus);
        QVERIFY(!viewer.updatesEnabled());
    }

    void zoomStepsAreClampedAndResizeRefits()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240"));
        CamViewer viewer;
        viewer.resize(640, 480);
        viewer.show();
        viewer.setGrabber(&grabber);
        QCOMPARE(viewer.zoom(), 1.0);
        QCOMPARE(viewer.displayWidth(), 320);
        for (int i = 0; i < 10; ++i)
            viewer.zoomStep(true);
        QVERIFY(qAbs(viewer.zoom() - 2.0) < 1e-9);
        QCOMPARE(viewer.displayWidth(), 640);
        QCOMPARE(viewer.displayHeight(), 480);
        for (int i = 0; i < 30; ++i)
            viewer.zoomStep(true);
        QCOMPARE(viewer.zoom(), 4.0);
        QCOMPARE(viewer.displayWidth(), 1280);
        for (int i = 0; i < 50; ++i)
            viewer.zoomStep(false);
        QCOMPARE(viewer.zoom(), 0.1);
        QCOMPARE(viewer.displayWidth(), 32);
        QCOMPARE(viewer.displayHeight(), 24);

        viewer.resize(200, 300);
        QCOMPARE(viewer.displayWidth(), 200);
        QCOMPARE(viewer.displayHeight(), 150);
        QCOMPARE(viewer.zoom(), 200.0 / 320.0);
        viewer.setGrabber(nullptr);
    }

    void flipRotationAndFreezeAreStored()
    {
        CamViewer viewer;
        viewer.setFlip(false, true);
        QCOMPARE(viewer.flip(), 1);
        viewer.setFlip(false, false);
        QCOMPARE(viewer.flip(), 2);
        viewer.setFlip(true, true);
        QCOMPARE(viewer.flip(), 0);
        viewer.setRotation(270);
        QCOMPARE(viewer.rotation(), 270.0);
        viewer.setFreeze(true);
        QVERIFY(viewer.isFrozen());
    }

    void keysDoubleClicksAndWheelReachTheWindow()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240"));
        QWidget window;
        window.resize(640, 480);
        auto* viewer = new CamViewer(&window);
        viewer->resize(640, 480);
        viewer->setGrabber(&grabber);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy keys(viewer, &CamViewer::keyPressed);
        QSignalSpy doubleClicks(viewer, &CamViewer::dblClicked);

        QKeyEvent key(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(viewer, &key);
        QCOMPARE(keys.count(), 1);
        QCOMPARE(keys.at(0).at(0).toInt(), int(Qt::Key_F5));
        // Left unhandled, so the camera window sees the key as well.
        QVERIFY(!key.isAccepted());

        QTest::mouseDClick(viewer, Qt::LeftButton);
        QCOMPARE(doubleClicks.count(), 1);

        const QPoint centre(320, 240);
        QWheelEvent away(centre, viewer->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewer, &away);
        QVERIFY(qAbs(viewer->zoom() - 1.1) < 1e-9);
        QVERIFY(away.isAccepted());
        QWheelEvent towards(centre, viewer->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewer, &towards);
        QApplication::sendEvent(viewer, &towards);
        QVERIFY(qAbs(viewer->zoom() - 0.9) < 1e-9);
        viewer->setGrabber(nullptr);
    }

    void framesAreTakenAndKeptWithoutADisplay()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240:rate=30"));
        auto viewer = std::make_unique<CamViewer>();
        viewer->resize(640, 480);
        viewer->show();
        int presented = 0;
        viewer->setPresentHook([&presented](const AVFrame*) { ++presented; });
        viewer->setReadBack(true);
        viewer->setGrabber(&grabber);
        viewer->setFreeze(true);
        viewer->setRecording(true);
        viewer->setWatermark(true, QStringLiteral("Karvex"), QString());
        viewer->showSnapshotLabel();
        QTRY_VERIFY(presented >= 3);
        QCOMPARE(viewer->sourceWidth(), 320);
        QCOMPARE(viewer->sourceHeight(), 240);
        QVERIFY(viewer->readPixels().isNull());
        QVERIFY(viewer->rendererName().isEmpty());

        // The last frame moves to the taker once; a tick is needed for the next one.
        viewer->setGrabber(nullptr);
        ffmpeg::FramePtr frame(viewer->takeLastFrame());
        QVERIFY(frame);
        QCOMPARE(frame->width, 320);
        QCOMPARE(frame->format, int(AV_PIX_FMT_YUV420P));
        QVERIFY(!viewer->takeLastFrame());
        // Detached, the view forgets the grabber, which may now go away first.
        QCOMPARE(viewer->sourceWidth(), 0);
        grabber.close();
        viewer.reset();
    }

    void grabberThatFailedToOpenShowsNothing()
    {
        CamGrabber grabber;
        QVERIFY(!grabber.openInput("lavfi", "karvex_no_such_source"));
        CamViewer viewer;
        int presented = 0;
        viewer.setPresentHook([&presented](const AVFrame*) { ++presented; });
        viewer.setGrabber(&grabber);
        QCOMPARE(viewer.sourceWidth(), -1);
        QCOMPARE(viewer.displayWidth(), 0);
        QTest::qWait(100); // a few display ticks
        QCOMPARE(presented, 0);
        viewer.setGrabber(nullptr);
    }

    void recordingIndicatorSwitchedFromAnotherThread()
    {
        CamViewer viewer;
        std::unique_ptr<QThread> recorder(QThread::create([&viewer] { viewer.setRecording(true); }));
        recorder->start();
        recorder->wait();
        QTRY_VERIFY(viewer.isRecordingIndicatorOn());

        // The GUI thread switching again wins over a switch still on its way.
        recorder.reset(QThread::create([&viewer] { viewer.setRecording(false); }));
        recorder->start();
        recorder->wait();
        viewer.setRecording(true);
        QCoreApplication::sendPostedEvents();
        QVERIFY(viewer.isRecordingIndicatorOn());
        viewer.setRecording(false);
        QVERIFY(!viewer.isRecordingIndicatorOn());
    }
};

KARVEX_TEST_MAIN(TestCamViewerState)
#include "TestCamViewerState.moc"
