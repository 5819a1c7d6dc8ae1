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
        QCOMPARE(CamViewer::clockText(3661999), QStringLiteral("01:01:01"));
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
    }

    void zoomStepsAreClampedAndResizeRefits()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240"));
        CamViewer viewer;
        QCOMPARE(viewer.zoom(), 1.0);
        viewer.resize(640, 480);
        viewer.show();
        viewer.setGrabber(&grabber);
        QCOMPARE(viewer.displayWidth(), 320);
        for (int i = 0; i < 10; ++i)
            viewer.zoomStep(true);
        QCOMPARE(QSize(viewer.displayWidth(), viewer.displayHeight()), QSize(640, 480));
        for (int i = 0; i < 30; ++i)
            viewer.zoomStep(true);
        QCOMPARE(viewer.zoom(), 4.0);
        for (int i = 0; i < 50; ++i)
            viewer.zoomStep(false);
        QCOMPARE(viewer.zoom(), 0.1);
        QCOMPARE(QSize(viewer.displayWidth(), viewer.displayHeight()), QSize(32, 24));
        viewer.resize(200, 300);
        QCOMPARE(QSize(viewer.displayWidth(), viewer.displayHeight()), QSize(200, 150));
        viewer.setGrabber(nullptr);
    }

    void keysDoubleClicksAndWheel()
    {
        QWidget window;
        auto* viewer = new CamViewer(&window);
        viewer->resize(640, 480);
        window.show();
        QSignalSpy keys(viewer, &CamViewer::keyPressed);
        QSignalSpy doubleClicks(viewer, &CamViewer::dblClicked);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(viewer, &key);
        QCOMPARE(keys.count(), 1);
        QCOMPARE(keys.at(0).at(0).toInt(), int(Qt::Key_F5));
        QVERIFY(!key.isAccepted()); // so that the camera window sees it too
        QTest::mouseDClick(viewer, Qt::LeftButton);
        QCOMPARE(doubleClicks.count(), 1);

        const auto wheel = [viewer](int delta) {
            QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewer, &event);
        };
        wheel(120);
        QVERIFY(qAbs(viewer->zoom() - 1.1) < 1e-9);
        wheel(-120);
        wheel(-120);
        QVERIFY(qAbs(viewer->zoom() - 0.9) < 1e-9);
    }

    void framesAreTakenAndKeptWithoutADisplay()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240:rate=30"));
        auto viewer = std::make_unique<CamViewer>();
        viewer->show();
        int presented = 0;
        viewer->setPresentHook([&presented](const AVFrame*) { ++presented; });
        viewer->setGrabber(&grabber);
        viewer->setFreeze(true);
        viewer->setRecording(true);
        viewer->setWatermark(true, QStringLiteral("Karvex"), QString());
        viewer->showSnapshotLabel();
        QTRY_VERIFY(presented >= 3);
        QCOMPARE(viewer->sourceWidth(), 320);
        QCOMPARE(viewer->sourceHeight(), 240);

        // The last frame moves to the taker once; the next tick brings the next one.
        viewer->setGrabber(nullptr);
        const ffmpeg::FramePtr frame(viewer->takeLastFrame());
        QVERIFY(frame && frame->width == 320);
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
        QTest::qWait(100); // a few display ticks
        QCOMPARE(presented, 0);
        viewer.setGrabber(nullptr);
    }

    void recordingIndicatorSwitchedFromAnotherThread()
    {
        CamViewer viewer;
        const auto fromThread = [&viewer](bool on) {
            std::unique_ptr<QThread> thread(QThread::create([&viewer, on] { viewer.setRecording(on); }));
            thread->start();
            thread->wait();
        };
        fromThread(true);
        QTRY_VERIFY(viewer.isRecordingIndicatorOn());
        // A switch still on its way loses against the GUI thread switching again.
        fromThread(false);
        viewer.setRecording(true);
        QCoreApplication::sendPostedEvents();
        QVERIFY(viewer.isRecordingIndicatorOn());
    }
};

KARVEX_TEST_MAIN(TestCamViewerState)
#include "TestCamViewerState.moc"
