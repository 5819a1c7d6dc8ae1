// The grabber and the recorder on emulated UVC cameras, through FFmpeg's real V4L2 input.
#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "FakeV4l2Camera.h"
#include "PacedRecording.h"
#include "TestSupport.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace {
const QString kNode = QStringLiteral("/dev/video7");

// "MJPG 1920x1080 30 15; YUYV 640x480 30" as the emulator's format list.
QJsonArray formatList(const QString& table)
{
    QMap<QString, QJsonArray> sizes;
    QStringList order;
    for (const QString& row : table.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        const QStringList size = fields.at(1).split(QLatin1Char('x'));
        QJsonArray rates;
        for (const QString& rate : fields.mid(2))
            rates << rate.toInt();
        if (!order.contains(fields.at(0)))
            order << fields.at(0);
        sizes[fields.at(0)] << QJsonObject { { "width", size.at(0).toInt() },
            { "height", size.at(1).toInt() }, { "fps", rates } };
    }
    QJsonArray formats;
    for (const QString& fourcc : order)
        formats << QJsonObject { { "fourcc", fourcc }, { "sizes", sizes.value(fourcc) } };
    return formats;
}

// "YUYV 640x480 30" as the emulator's current format.
QJsonObject currentFormat(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(' '));
    const QStringList size = fields.at(1).split(QLatin1Char('x'));
    return { { "fourcc", fields.at(0) }, { "width", size.at(0).toInt() }, { "height", size.at(1).toInt() },
        { "fps", fields.at(2).toInt() } };
}

QJsonObject camera(const QString& formats, const QString& current)
{
    QJsonObject device = FakeV4l2Camera::standardDevice(kNode);
    device["formats"] = formatList(formats);
    device["current"] = currentFormat(current);
    return device;
}

} // namespace

class TestCameraCapture : public QObject
{
    Q_OBJECT
    std::unique_ptr<FakeV4l2Camera> cameras;

private slots:
    void initTestCase()
    {
        if (!FakeV4l2Camera::isPreloaded())
            QSKIP("the V4L2 camera emulator is not preloaded");
        av_log_set_level(AV_LOG_ERROR);
    }
    void init() { cameras.reset(new FakeV4l2Camera); }
    void cleanup() { cameras.reset(); }

    // Format tables of real UVC cameras (v4l2-ctl --list-formats-ext), each left in a format
    // other than its best.
    void cameraOpensInItsBestFormatHoweverItWasLeft_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("negotiated");
        QTest::addColumn<QSize>("pictureSize");
        QTest::newRow("720p webcam") << "YUYV 640x480 30 15; YUYV 1280x720 10 5; MJPG 640x480 30 15; "
                                        "MJPG 1280x720 30 15"
                                     << "YUYV 640x480 30"
                                     << QStringList { "S_FMT MJPG 1280x720", "S_PARM 1/30" }
                                     << QSize(1280, 720);
        QTest::newRow("1080p webcam")
            << "YUYV 640x480 30 15; YUYV 1920x1080 5; MJPG 1280x720 30 15; "
               "MJPG 1920x1080 30 15"
            << "YUYV 640x480 30" << QStringList { "S_FMT MJPG 1920x1080", "S_PARM 1/30" }
            << QSize(1920, 1080);
        QTest::newRow("4K camera") << "YUYV 640x480 30; YUYV 1920x1080 5; MJPG 1920x1080 60 30; "
                                      "MJPG 3840x2160 30 24"
                                   << "MJPG 1920x1080 60"
                                   << QStringList { "S_FMT MJPG 3840x2160", "S_PARM 1/30" }
                                   << QSize(3840, 2160);
        QTest::newRow("MJPEG-only camera")
            << "MJPG 640x480 60 30; MJPG 1280x720 60 30; MJPG 1920x1080 30 25 15"
            << "MJPG 640x480 60" << QStringList { "S_FMT MJPG 1920x1080", "S_PARM 1/30" }
            << QSize(1920, 1080);
        QTest::newRow("YUYV-only camera")
            << "YUYV 640x480 30 15; YUYV 800x600 20 10; YUYV 1280x1024 8"
            << "YUYV 1280x1024 8" << QStringList { "S_FMT YUYV 640x480", "S_PARM 1/30" } << QSize(640, 480);
    }

    void cameraOpensInItsBestFormatHoweverItWasLeft()
    {
        QFETCH(QString, formats);
        QFETCH(QString, current);
        QFETCH(QStringList, negotiated);
        QFETCH(QSize, pictureSize);
        cameras->plug(camera(formats, current));
        CamGrabber grabber;
        QVERIFY(grabber.open(kNode.toLatin1().constData()));
        QCOMPARE(cameras->log().filter(QRegularExpression("^S_")).mid(0, 2), negotiated);
        ffmpeg::FramePtr frame;
        QVERIFY(QTest::qWaitFor(
            [&] {
                frame = grabber.takeFrame();
                return frame != nullptr;
            },
            5000));
        QCOMPARE(QSize(frame->width, frame->height), pictureSize);
    }

    void anUnpluggedCameraRaisesTheGrabErrorOnce()
    {
        QJsonObject device = FakeV4l2Camera::standardDevice(kNode);
        device["unplug_after_frames"] = 10;
        cameras->plug(device);
        CamGrabber grabber;
        QVERIFY(grabber.open(kNode.toLatin1().constData()));
        // The flag clears as it is read (on every tick, as the window does): remembered once
        // raised, as QTRY_VERIFY reads its condition again at the end.
        bool raised = false;
        const auto grabErrorRaised = [&] {
            if (grabber.takeGrabError())
                raised = true;
            return raised;
        };
        QTRY_VERIFY_WITH_TIMEOUT(grabErrorRaised(), 5000);
        QVERIFY(!grabber.takeGrabError());
    }

    void recordingPlaysForAsLongAsItTook_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<int>("dropsTo");
        QTest::newRow("60 fps camera") << "MJPG 640x480 60" << 0;
        QTest::newRow("30 fps camera dimming to 10 fps") << "MJPG 640x480 30" << 10;
    }

    void recordingPlaysForAsLongAsItTook()
    {
        QFETCH(QString, formats);
        QFETCH(int, dropsTo);
        QJsonObject device = camera(formats, formats.section(' ', 0, 2));
        if (dropsTo)
            device["rate_changes"]
                = QJsonArray { QJsonObject { { "after_frames", 45 }, { "fps", dropsTo } } };
        cameras->plug(device);
        CamGrabber grabber;
        QVERIFY(grabber.open(kNode.toLatin1().constData()));
        const PacedRecording recording = PacedRecording::record(grabber, "camera.mp4");
        QVERIFY(recording.recorded);
        QVERIFY2(recording.playsAsLongAsItTook(), qPrintable(recording.timing()));
    }
};

KARVEX_TEST_MAIN(TestCameraCapture)
#include "TestCameraCapture.moc"
