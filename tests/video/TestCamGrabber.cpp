#include "CamGrabber.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>

#include <atomic>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {
using FramePtr = ffmpeg::FramePtr;

// Makes a short clip of a solid red picture with the ffmpeg program, encoded the way a UVC
// camera sends it; returns its path.
QString makeClip(const QString& name, const QString& size, const QStringList& encoding)
{
    const QString path = QDir::current().absoluteFilePath(name);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        QStringList {
            "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:rate=30:size=" + size, "-frames:v", "3" }
            + encoding + QStringList { path });
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return QString();
    return path;
}

// Waits for a decoded frame (the grabber delivers one per stored packet).
FramePtr waitForFrame(CamGrabber& grabber, int timeoutMs = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        if (AVFrame* frame = grabber.takeFrame())
            return FramePtr(frame);
        QTest::qWait(2);
    }
    return nullptr;
}

// Solid red in limited-range BT.601, the camera pictures' colour in these tests.
void verifyRedPicture(const AVFrame* frame, int width, int height)
{
    QVERIFY(frame);
    QCOMPARE(frame->format, int(AV_PIX_FMT_YUV420P));
    QCOMPARE(frame->width, width);
    QCOMPARE(frame->height, height);
    for (int plane = 0; plane < 3; ++plane) {
        QCOMPARE(frame->linesize[plane] % 32, 0);
        QCOMPARE(reinterpret_cast<std::uintptr_t>(frame->data[plane]) % 32, std::uintptr_t(0));
    }
    const int expected[3] = { 81, 90, 240 };
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const uint8_t first = frame->data[plane][0];
        const uint8_t middle
            = frame->data[plane][(height >> shift) / 2 * frame->linesize[plane] + (width >> shift) / 2];
        QVERIFY2(qAbs(first - expected[plane]) <= 3 && qAbs(middle - expected[plane]) <= 3,
            qPrintable(QString("plane %1: %2 %3").arg(plane).arg(first).arg(middle)));
    }
}
} // namespace

class TestCamGrabber : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { CamGrabber::setInputResolver(nullptr); }

    void refusesWhatCannotBeOpened()
    {
        CamGrabber grabber;
        QVERIFY(!grabber.open(nullptr));
        QVERIFY(!grabber.open(""));
        QVERIFY(!grabber.open("/dev/video-karvex-absent"));
        QVERIFY(!grabber.openInput("karvex-no-such-input", "x"));
        QVERIFY(!grabber.openInput("lavfi", ""));
        QVERIFY(!grabber.openInput("lavfi", "karvex_no_such_source"));
        QCOMPARE(grabber.width(), -1);
        QCOMPARE(grabber.height(), -1);
        QVERIFY(!grabber.takeFrame());
        QVERIFY(!grabber.isRunning());
    }

    void refusesSecondOpenAndKeepsStreaming()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240:rate=30"));
        QVERIFY(!grabber.openInput("lavfi", "color=c=blue:size=64x64"));
        QVERIFY(!grabber.open("/dev/video0"));
        QCOMPARE(grabber.width(), 320);
        QCOMPARE(grabber.height(), 240);
        FramePtr frame = waitForFrame(grabber);
        verifyRedPicture(frame.get(), 320, 240);
        grabber.close();
        QCOMPARE(grabber.width(), -1);
        QVERIFY(!grabber.isRunning());
        // Closed, it opens again.
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48"));
        QCOMPARE(grabber.width(), 64);
    }

    void deviceKeyIsCutToTheUrlBuffer()
    {
        QByteArray seen;
        CamGrabber::setInputResolver([&seen](const QByteArray& key) {
            seen = key;
            return qMakePair(QByteArray("lavfi"), QByteArray("color=c=red:size=64x48"));
        });
        const QByteArray longKey = QByteArray("/dev/") + QByteArray(1000, 'k');
        CamGrabber grabber;
        QVERIFY(grabber.open(longKey.constData()));
        QCOMPARE(seen, longKey.left(255));
        grabber.close();

        const QByteArray exact = QByteArray(255, 'e');
        QVERIFY(grabber.open(exact.constData()));
        QCOMPARE(seen, exact);
        grabber.close();

        // Without the seam a long key goes to the camera input: refused, nothing overrun.
        CamGrabber::setInputResolver(nullptr);
        QVERIFY(!grabber.open(longKey.constData()));
        QCOMPARE(grabber.width(), -1);
    }

    void nothingToTakeBeforeTheFirstPacket()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:duration=0"));
        QCOMPARE(grabber.width(), 64);
        QVERIFY(!grabber.takeFrame());
        QTRY_VERIFY_WITH_TIMEOUT(grabber.isFinished(), 5000);
        QVERIFY(!grabber.takeFrame());
    }

    void packetIsDecodedOnlyOnce()
    {
        CamGrabber grabber;
        std::atomic<int> stored { 0 };
        grabber.setPacketStoredHook([&stored](qint64) { ++stored; });
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240:rate=30"));
        // Retry until no packet slipped in between the two takes.
        for (int attempt = 0; attempt < 20; ++attempt) {
            FramePtr first = waitForFrame(grabber);
            QVERIFY(first);
            const int before = stored;
            FramePtr second(grabber.takeFrame());
            if (stored == before) {
                QVERIFY(!second);
                return;
            }
        }
        QFAIL("a new packet arrived between every pair of takes");
    }

    void framesAreYuv420pAtTheCameraSize_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        const QString mjpeg
            = makeClip("mjpeg422.mkv", "1920x1080", { "-c:v", "mjpeg", "-pix_fmt", "yuvj422p", "-q:v", "2" });
        const QString yuyv = makeClip("yuyv.nut", "640x480", { "-c:v", "rawvideo", "-pix_fmt", "yuyv422" });
        QVERIFY(!mjpeg.isEmpty() && !yuyv.isEmpty());
        QTest::newRow("MJPEG 4:2:2 1080p") << "matroska" << mjpeg << 1920 << 1080;
        QTest::newRow("raw YUYV 640x480") << "nut" << yuyv << 640 << 480;
        QTest::newRow("odd size") << "lavfi"
                                  << "color=c=red:size=321x241,format=rgb24" << 321 << 241;
    }

    void framesAreYuv420pAtTheCameraSize()
    {
        QFETCH(QString, format);
        QFETCH(QString, url);
        QFETCH(int, width);
        QFETCH(int, height);
        CamGrabber grabber;
        QVERIFY(grabber.openInput(format.toLatin1().constData(), url.toLocal8Bit().constData()));
        QCOMPARE(grabber.width(), width);
        QCOMPARE(grabber.height(), height);
        FramePtr frame = waitForFrame(grabber);
        verifyRedPicture(frame.get(), width, height);
    }

    void endedSourceActsLikeAnUnpluggedCamera()
    {
        CamGrabber grabber;
        std::atomic<qint64> lastStoredMs { -1 };
        QElapsedTimer clock;
        clock.start();
        grabber.setPacketStoredHook([&](qint64) { lastStoredMs = clock.elapsed(); });
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:rate=30,trim=end_frame=3"));
        QVERIFY(waitForFrame(grabber));

        // Taken as the view does, on every tick, until the grabber gives up.
        bool grabError = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            (FramePtr(grabber.takeFrame()), grabError = grabError || grabber.takeGrabError()), 5000);
        // More than 300 failed reads with 3 ms pauses after the last packet.
        QVERIFY2(clock.elapsed() - lastStoredMs >= 900,
            qPrintable(QString::number(clock.elapsed() - lastStoredMs)));
        QVERIFY(!grabber.takeGrabError());
        QVERIFY(grabber.isFinished());
        QVERIFY(!grabber.takeFrame());
        QCOMPARE(grabber.width(), 64); // still open until closed
        grabber.close();
        QCOMPARE(grabber.width(), -1);
        QVERIFY(!grabber.takeGrabError());
    }

    void closeTerminatesAReadThatNeverReturns()
    {
        CamGrabber grabber;
        std::atomic<qint64> lastPts { -1 };
        grabber.setPacketStoredHook([&](qint64 pts) { lastPts = pts; });
        // Frame 40 is due 30 s late: the read sleeps inside the input.
        QVERIFY(grabber.openInput(
            "lavfi", "color=c=red:size=64x48:rate=30,setpts='if(gte(N,40),PTS+900,PTS)',realtime=limit=100"));
        QTRY_VERIFY_WITH_TIMEOUT(lastPts >= 39, 10000);
        // Give the thread time to finish its pause after packet 39 and enter the long read.
        QTest::qWait(200);
        QVERIFY(grabber.isRunning());
        QElapsedTimer closing;
        closing.start();
        grabber.close();
        QVERIFY(!grabber.isRunning());
        QVERIFY2(closing.elapsed() >= 2000 && closing.elapsed() < 20000,
            qPrintable(QString::number(closing.elapsed())));
        QCOMPARE(grabber.width(), -1);
    }
};

KARVEX_TEST_MAIN(TestCamGrabber)
#include "TestCamGrabber.moc"
