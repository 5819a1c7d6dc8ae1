#include "CamGrabber.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>

#include <atomic>
#include <cstdarg>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace {
using FramePtr = ffmpeg::FramePtr;

// Three frames of solid red, encoded by the ffmpeg program the way a UVC camera sends them.
QString makeClip(const QString& name, const QString& size, const QStringList& encoding)
{
    const QString path = QDir::current().absoluteFilePath(name);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        QStringList {
            "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:rate=30:size=" + size, "-frames:v", "3" }
            + encoding + QStringList { path });
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 ? path : QString();
}

// Messages of FFmpeg's scaler: it warns each time it makes a converter for the full-range
// pixel formats of MJPEG cameras.
std::atomic<int> scalerMessages { 0 };
void countScalerMessages(void* object, int, const char*, va_list)
{
    const AVClass* const* cls = static_cast<const AVClass* const*>(object);
    if (cls && *cls && qstrcmp((*cls)->class_name, "SWScaler") == 0)
        ++scalerMessages;
}

FramePtr waitForFrame(CamGrabber& grabber)
{
    QElapsedTimer waited;
    waited.start();
    FramePtr frame;
    while (!frame && waited.elapsed() < 5000) {
        frame.reset(grabber.takeFrame());
        QTest::qWait(frame ? 0 : 2);
    }
    return frame;
}
} // namespace

class TestCamGrabber : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { CamGrabber::setInputResolver(nullptr); }

    void refusesWhatCannotBeOpenedAndASecondOpen()
    {
        CamGrabber grabber;
        QVERIFY(!grabber.open(nullptr));
        QVERIFY(!grabber.open(""));
        QVERIFY(!grabber.open("/dev/video-karvex-absent"));
        QVERIFY(!grabber.openInput("karvex-no-such-input", "x"));
        QVERIFY(!grabber.openInput("lavfi", "karvex_no_such_source"));
        QCOMPARE(grabber.width(), -1);
        QVERIFY(!grabber.takeFrame());

        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240"));
        QVERIFY(!grabber.openInput("lavfi", "color=c=blue:size=64x48"));
        QCOMPARE(grabber.width(), 320);
        QVERIFY(waitForFrame(grabber));
        grabber.close();
        QCOMPARE(grabber.height(), -1);
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48"));
    }

    void longDeviceKeyIsCutNotOverrun()
    {
        QByteArray seen;
        CamGrabber::setInputResolver([&seen](const QByteArray& key) {
            seen = key;
            return qMakePair(QByteArray("lavfi"), QByteArray("color=c=red:size=64x48"));
        });
        const QByteArray longKey = "/dev/" + QByteArray(1000, 'k');
        CamGrabber grabber;
        QVERIFY(grabber.open(longKey.constData()));
        QCOMPARE(seen, longKey.left(255));
        grabber.close();
        // Without the seam it goes to the camera input: refused, nothing overrun.
        CamGrabber::setInputResolver(nullptr);
        QVERIFY(!grabber.open(longKey.constData()));
    }

    void eachPacketIsDecodedOnce()
    {
        CamGrabber grabber;
        std::atomic<int> stored { 0 };
        grabber.setPacketStoredHook([&stored](qint64) { ++stored; });
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=320x240:rate=30"));
        for (int attempt = 0; attempt < 20; ++attempt) {
            QVERIFY(waitForFrame(grabber));
            const int before = stored;
            FramePtr second(grabber.takeFrame());
            if (stored == before) { // no new packet in between
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
        QTest::addColumn<QSize>("size");
        const QString mjpeg
            = makeClip("mjpeg422.mkv", "1920x1080", { "-c:v", "mjpeg", "-pix_fmt", "yuvj422p" });
        const QString yuyv = makeClip("yuyv.nut", "640x480", { "-c:v", "rawvideo", "-pix_fmt", "yuyv422" });
        QVERIFY(!mjpeg.isEmpty() && !yuyv.isEmpty());
        QTest::newRow("MJPEG 4:2:2 1080p") << "matroska" << mjpeg << QSize(1920, 1080);
        QTest::newRow("raw YUYV 640x480") << "nut" << yuyv << QSize(640, 480);
        QTest::newRow("odd size") << "lavfi"
                                  << "color=c=red:size=321x241,format=rgb24" << QSize(321, 241);
    }

    void framesAreYuv420pAtTheCameraSize()
    {
        QFETCH(QString, format);
        QFETCH(QString, url);
        QFETCH(QSize, size);
        CamGrabber grabber;
        QVERIFY(grabber.openInput(format.toLatin1().constData(), url.toLocal8Bit().constData()));
        QCOMPARE(QSize(grabber.width(), grabber.height()), size);
        const FramePtr frame = waitForFrame(grabber);
        QVERIFY(frame);
        QCOMPARE(frame->format, int(AV_PIX_FMT_YUV420P));
        QCOMPARE(QSize(frame->width, frame->height), size);
        // Solid red in limited-range BT.601 (Y 81, U 90, V 240), in aligned planes.
        const int red[3] = { 81, 90, 240 };
        for (int plane = 0; plane < 3; ++plane) {
            QCOMPARE(frame->linesize[plane] % 32, 0);
            QCOMPARE(reinterpret_cast<std::uintptr_t>(frame->data[plane]) % 32, std::uintptr_t(0));
            const int shift = plane == 0 ? 0 : 1;
            const int middle = frame->data[plane][(size.height() >> shift) / 2 * frame->linesize[plane]
                + (size.width() >> shift) / 2];
            QVERIFY2(
                qAbs(middle - red[plane]) <= 3, qPrintable(QString("plane %1: %2").arg(plane).arg(middle)));
        }
    }

    void theConverterIsMadeOnceNotForEveryPicture()
    {
        const QString clip
            = makeClip("mjpeg-full-range.mkv", "320x240", { "-c:v", "mjpeg", "-pix_fmt", "yuvj422p" });
        QVERIFY(!clip.isEmpty());
        CamGrabber grabber;
        QVERIFY(grabber.openInput("matroska", clip.toLocal8Bit().constData()));
        scalerMessages = 0;
        av_log_set_callback(countScalerMessages);
        const auto restoreLog = qScopeGuard([] { av_log_set_callback(av_log_default_callback); });
        for (int i = 0; i < 3; ++i)
            QVERIFY(waitForFrame(grabber));
        QCOMPARE(scalerMessages.load(), 0);
    }

    void endedSourceActsLikeAnUnpluggedCamera()
    {
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:duration=0"));
        QVERIFY(!grabber.takeFrame()); // nothing before the first packet

        std::atomic<qint64> lastStoredMs { -1 };
        QElapsedTimer clock;
        clock.start();
        grabber.close();
        grabber.setPacketStoredHook([&](qint64) { lastStoredMs = clock.elapsed(); });
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:rate=30,trim=end_frame=3"));
        // Taken on every tick, as the view does, until the grabber gives up.
        bool grabError = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            (FramePtr(grabber.takeFrame()), grabError = grabError || grabber.takeGrabError()), 5000);
        // More than 300 failed reads with 3 ms pauses after the last packet.
        QVERIFY(lastStoredMs >= 0 && clock.elapsed() - lastStoredMs >= 900);
        QVERIFY(!grabber.takeGrabError());
        QVERIFY(grabber.isFinished());
        QVERIFY(!grabber.takeFrame());
        grabber.close();
        QCOMPARE(grabber.width(), -1);
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
        QTest::qWait(200); // past the pause after packet 39, into the long read
        QVERIFY(grabber.isRunning());
        QElapsedTimer closing;
        closing.start();
        grabber.close();
        QVERIFY(!grabber.isRunning());
        QVERIFY2(closing.elapsed() >= 2000 && closing.elapsed() < 20000,
            qPrintable(QString::number(closing.elapsed())));
    }
};

KARVEX_TEST_MAIN(TestCamGrabber)
#include "TestCamGrabber.moc"
