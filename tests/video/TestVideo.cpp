#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "FakeHidapi.h"
#include "TestSupport.h"
#include "UsbCamHID.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <atomic>

// Capture, recording and the key link on real FFmpeg inputs and files, offscreen.
namespace {
using FramePtr = ffmpeg::FramePtr;

// Three frames of solid red, encoded by the ffmpeg program the way a UVC camera sends them.
QString makeClip(const QString& name, const QString& encoding)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        QStringLiteral("-v error -y -f lavfi -i color=c=red:rate=30:size=1920x1080 -frames:v 3 %1 %2")
            .arg(encoding, name)
            .split(' '));
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 ? name : QString();
}

// The scaler warns each time it makes a converter for an MJPEG camera's full-range format.
std::atomic<int> scalerMessages { 0 };
void countScalerMessages(void* object, int, const char*, va_list)
{
    const AVClass* const* cls = static_cast<const AVClass* const*>(object);
    if (cls && *cls && qstrcmp((*cls)->class_name, "SWScaler") == 0)
        ++scalerMessages;
}

FramePtr waitForFrame(CamGrabber& grabber)
{
    FramePtr frame;
    (void)QTest::qWaitFor([&] { return (frame = FramePtr(grabber.takeFrame())) != nullptr; }, 5000);
    return frame;
}

// A recording as libavformat/libavcodec read it back, independently of our writer.
struct Mp4Info {
    QString stream; // "codec WxH time-base fps"
    int decodedFrames = 0;
    QList<int> keyFrames; // frame numbers, from 0
};

Mp4Info probeMp4(const QString& path)
{
    Mp4Info info;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return info;
    const ffmpeg::InputContextPtr format(raw);
    const AVCodec* codec = nullptr;
    if (avformat_find_stream_info(raw, nullptr) < 0
        || av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0) != 0)
        return info;
    const AVStream* stream = raw->streams[0];
    const AVCodecParameters* par = stream->codecpar;
    const ffmpeg::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (avcodec_parameters_to_context(decoder.get(), par) < 0
        || avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return info;
    info.stream = QString::asprintf("%s %dx%d %d/%d %g", codec->name, par->width, par->height,
        stream->time_base.num, stream->time_base.den, av_q2d(stream->r_frame_rate));
    const ffmpeg::PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    int64_t firstPts = AV_NOPTS_VALUE;
    for (bool more = true; more;) {
        more = av_read_frame(raw, packet.get()) >= 0;
        if (more && firstPts == AV_NOPTS_VALUE)
            firstPts = packet->pts;
        if (more && packet->flags & AV_PKT_FLAG_KEY)
            info.keyFrames << qRound((packet->pts - firstPts) * av_q2d(stream->time_base) * 30);
        if (avcodec_send_packet(decoder.get(), more ? packet.get() : nullptr) >= 0)
            while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0)
                ++info.decodedFrames;
        av_packet_unref(packet.get());
    }
    return info;
}

QSize bmpSize(const QString& path)
{
    QImageReader reader(path);
    return reader.format() == "bmp" ? reader.size() : QSize();
}

// A lavfi test picture paced like a live camera, shown by a view as the camera window does
// (offscreen: the view takes frames though SDL cannot draw), and a recorder on it that counts
// the frames it encoded and, once asked to hold, waits after the next one until it ends.
struct Camera {
    CamGrabber grabber;
    CamViewer viewer;
    CamRecorder recorder { 20 };
    std::atomic<int> shown { 0 };
    std::atomic<int> written { 0 };
    std::atomic<bool> hold { false };
    QSemaphore held, resume;

    explicit Camera(const char* size = "320x240")
    {
        viewer.setPresentHook([this](const AVFrame*) { ++shown; });
        recorder.setFrameObserver([this](qint64) {
            ++written;
            if (hold.exchange(false))
                held.release(), resume.acquire();
        });
        const QByteArray source = QByteArray("testsrc2=size=") + size + ":rate=30,realtime";
        if (grabber.openInput("lavfi", source.constData()))
            viewer.setGrabber(&grabber);
        nextPicture();
    }
    bool nextPicture()
    {
        const int before = shown;
        return QTest::qWaitFor([&] { return shown > before; }, 5000);
    }
    ~Camera()
    {
        resume.release();
        recorder.stop();
    }
};
} // namespace

class TestVideo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); } // x264 statistics per file

    void grabberRefusesCutsLongKeysAndEndsLikeAnUnpluggedCamera()
    {
        CamGrabber grabber;
        for (const char* key : { (const char*)nullptr, "", "/dev/video-karvex-absent" })
            QVERIFY(!grabber.open(key));
        QByteArray seen;
        CamGrabber::setInputResolver([&seen](const QByteArray& key) {
            seen = key;
            return qMakePair(QByteArray("lavfi"), QByteArray("color=c=red:size=64x48"));
        });
        const QByteArray longKey = "/dev/" + QByteArray(1000, 'k');
        QVERIFY(grabber.open(longKey.constData()));
        QCOMPARE(seen, longKey.left(255));
        QVERIFY(!grabber.openInput("lavfi", "color=c=blue:size=32x24")); // already open
        QCOMPARE(grabber.width(), 64);
        grabber.close();
        CamGrabber::setInputResolver(nullptr); // to the camera input: refused, nothing overrun
        QVERIFY(!grabber.open(longKey.constData()));

        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:duration=0"));
        QVERIFY(!grabber.takeFrame()); // nothing before the first packet
        grabber.close();
        // A source that ends acts like an unplugged camera.
        std::atomic<qint64> lastStoredMs { -1 };
        QElapsedTimer clock;
        clock.start();
        grabber.setPacketStoredHook([&](qint64) { lastStoredMs = clock.elapsed(); });
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=64x48:rate=30,trim=end_frame=1"));
        QVERIFY(waitForFrame(grabber));
        QVERIFY(!FramePtr(grabber.takeFrame())); // one packet, one frame
        // Taken on every tick, as the view does, until the grabber gives up.
        bool grabError = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            (FramePtr(grabber.takeFrame()), grabError = grabError || grabber.takeGrabError()), 5000);
        // More than 300 failed reads with 3 ms pauses after the last packet.
        QVERIFY(lastStoredMs >= 0 && clock.elapsed() - lastStoredMs >= 900);
        QVERIFY(!grabber.takeGrabError());
        QVERIFY(!grabber.takeFrame());
        QVERIFY(grabber.isFinished()); // so close has nothing to wait for
    }

    void closeEndsAReadThatNeverReturns()
    {
        // A camera whose driver blocks inside a read: frame 40 is due twenty minutes late.
        CamGrabber grabber;
        std::atomic<int> stored { 0 };
        grabber.setPacketStoredHook([&](qint64) { ++stored; });
        QVERIFY(grabber.openInput("lavfi",
            "color=c=red:size=64x48:rate=30,setpts='if(gte(N,40),PTS+36000,PTS)',realtime=limit=1300"));
        QTRY_VERIFY_WITH_TIMEOUT(stored >= 40, 10000);
        QVERIFY(grabber.isRunning());
        grabber.close();
        QVERIFY(!grabber.isRunning());
        QCOMPARE(grabber.width(), -1);
    }

    void framesAreYuv420pAtTheCameraSize_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QSize>("size");
        const QString mjpeg = makeClip("mjpeg422.mkv", "-c:v mjpeg -pix_fmt yuvj422p");
        const QString yuyv = makeClip("yuyv.nut", "-c:v rawvideo -pix_fmt yuyv422");
        QVERIFY(!mjpeg.isEmpty() && !yuyv.isEmpty());
        QTest::newRow("MJPEG 4:2:2") << "matroska" << mjpeg << QSize(1920, 1080);
        QTest::newRow("raw YUYV") << "nut" << yuyv << QSize(1920, 1080);
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
        scalerMessages = 0;
        av_log_set_callback(countScalerMessages);
        const auto restoreLog = qScopeGuard([] { av_log_set_callback(av_log_default_callback); });
        FramePtr frame;
        for (int i = 0; i < 3; ++i) // the converter is made once, not for every picture
            QVERIFY(frame = waitForFrame(grabber));
        QCOMPARE(scalerMessages.load(), 0);
        QCOMPARE(frame->format, int(AV_PIX_FMT_YUV420P));
        QCOMPARE(QSize(frame->width, frame->height), size);
        // Solid red in limited-range BT.601 (Y 81, U 90, V 240), in aligned planes.
        const int red[3] = { 81, 90, 240 };
        for (int plane = 0; plane < 3; ++plane) {
            QCOMPARE(frame->linesize[plane] % 32, 0);
            QCOMPARE(reinterpret_cast<quintptr>(frame->data[plane]) % 32, quintptr(0));
            const int shift = plane == 0 ? 0 : 1;
            const int middle = frame->data[plane][(size.height() >> shift) / 2 * frame->linesize[plane]];
            QVERIFY2(qAbs(middle - red[plane]) <= 3, qPrintable(QString::number(middle)));
        }
    }

    void recordingIsH264AtTheSourceSizeAndSnapshotsFullSize()
    {
        Camera camera("1920x1080");
        CamViewer noPicture;
        QVERIFY(!camera.recorder.snapshot(&noPicture, "none.bmp"));
        QVERIFY(camera.recorder.snapshot(&camera.viewer, "still.bmp"));
        QVERIFY(camera.recorder.start(&camera.viewer, "rec.mp4"));
        QVERIFY(camera.viewer.isRecordingIndicatorOn());
        camera.hold = true; // the recording thread waits with its frame encoded
        QTRY_VERIFY(camera.held.available() > 0);
        // The view goes on showing pictures, but while recording they are not the source.
        QVERIFY(camera.nextPicture());
        QVERIFY(camera.recorder.snapshot(&camera.viewer, "last-encoded.bmp"));
        QVERIFY(!camera.recorder.snapshot(&camera.viewer, "second.bmp"));
        QVERIFY(!QFile::exists("second.bmp") && !QFile::exists("none.bmp"));
        QVERIFY(
            bmpSize("still.bmp") == QSize(1920, 1080) && bmpSize("last-encoded.bmp") == QSize(1920, 1080));
        camera.resume.release();
        QTRY_VERIFY_WITH_TIMEOUT(camera.written >= 61, 15000);
        QCOMPARE(camera.recorder.stop(), QStringList { "rec.mp4" });
        QVERIFY(!camera.viewer.isRecordingIndicatorOn());

        const Mp4Info info = probeMp4("rec.mp4");
        QCOMPARE(info.stream, QStringLiteral("h264 1920x1080 1/9000 30"));
        QCOMPARE(info.decodedFrames, int(camera.written));
        QCOMPARE(info.keyFrames.mid(0, 3), (QList<int> { 0, 30, 60 }));
        QCOMPARE(info.keyFrames.size(), (camera.written + 29) / 30);
        QCOMPARE(bmpSize("rec.mp4-thumbnail.bmp"), QSize(192, 108));
    }

    void restartIdleStopAndStallLoseNoFrame()
    {
        Camera camera;
        camera.viewer.setRecording(true);
        QVERIFY(camera.recorder.stop().isEmpty()); // nothing recorded: the view is left alone
        QVERIFY(camera.viewer.isRecordingIndicatorOn());
        camera.viewer.setRecording(false);

        QVERIFY(camera.recorder.start(&camera.viewer, "a.mp4"));
        QTRY_VERIFY(camera.written >= 10);
        const int writtenToA = camera.written;
        QVERIFY(camera.recorder.start(&camera.viewer, "b.mp4"));
        camera.shown = 0;
        QVERIFY(probeMp4("a.mp4").decodedFrames >= writtenToA); // drained and closed
        QTRY_VERIFY(camera.shown >= 10);
        camera.viewer.setGrabber(nullptr);
        QTest::qWait(1000); // the camera stalls; not a wait for a result
        camera.viewer.setGrabber(&camera.grabber);
        const int resumed = camera.shown;
        QTRY_VERIFY_WITH_TIMEOUT(camera.shown >= resumed + 30, 5000);
        QCOMPARE(camera.recorder.stop(), QStringList { "b.mp4" });
        QVERIFY(qAbs(probeMp4("b.mp4").decodedFrames - camera.shown) <= 3);
    }

    void rollOverWritesNumberedSegmentsInOrder_data()
    {
        QTest::addColumn<QStringList>("segments"); // the first is the name recording starts with
        QTest::newRow("extension") << QStringList { "cap/T.mp4", "cap/T-001.mp4", "cap/T-002.mp4" };
        QTest::newRow("no extension, dot in the folder")
            << QStringList { "dr.lee/name", "dr.lee/name-001", "dr.lee/name-002" };
    }
    void rollOverWritesNumberedSegmentsInOrder()
    {
        QFETCH(QStringList, segments);
        const QString base = segments.first();
        QDir().mkpath(QFileInfo(base).path());
        Camera camera;
        camera.recorder.setSegmentMs(1000);
        QVERIFY(camera.recorder.start(&camera.viewer, base));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(segments.last() + "-thumbnail.bmp"), 10000);
        const QStringList files = camera.recorder.stop();
        QCOMPARE(files.mid(0, 3), segments);
        for (const QString& file : files) {
            const Mp4Info info = probeMp4(file);
            QVERIFY2(info.stream.startsWith("h264") && info.decodedFrames > 0 && info.keyFrames.value(0) == 0,
                qPrintable(file));
            QCOMPARE(bmpSize(file + "-thumbnail.bmp"), QSize(32, 24));
        }
    }

    void stopWhileASegmentIsBeingSwitchedEndsTheRecording()
    {
        Camera camera;
        camera.recorder.setSegmentMs(1); // the first frame already ends the segment
        camera.hold = true; // the recording thread waits just before the switch
        QVERIFY(camera.recorder.start(&camera.viewer, "switch.mp4"));
        QTRY_VERIFY(camera.held.available() > 0);
        QStringList files;
        std::unique_ptr<QThread> stopper(QThread::create([&] { files = camera.recorder.stop(); }));
        stopper->start();
        // The stop has cleared the running flag by the time its indicator switch-off arrives.
        QTRY_VERIFY(!camera.viewer.isRecordingIndicatorOn());
        camera.resume.release();
        const bool stopped = stopper->wait(10000);
        if (!stopped)
            camera.recorder.stop(); // the switch revived the recording; end it so the test can go on
        stopper->wait();
        QVERIFY(stopped);
        QCOMPARE(files, QStringList { "switch.mp4" });
    }

    void aKilledRecordingPlaysUpToItsLastSecond()
    {
        QProcess child;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        child.start(QStringLiteral(RECORDER_CHILD), { "killed.mp4" });
        int written = 0;
        while (written < 100 && child.waitForReadyRead(15000))
            while (child.canReadLine())
                written = child.readLine().trimmed().mid(7).toInt();
        QVERIFY(written >= 100);
        child.kill(); // SIGKILL: no trailer, no flush, no destructor
        QVERIFY(child.waitForFinished());
        const Mp4Info info = probeMp4("killed.mp4");
        // Fragments close at every key frame (30 frames); allow for the one cut off.
        QVERIFY2(info.stream.startsWith("h264") && qAbs(info.decodedFrames - (written - 20)) <= 25,
            qPrintable(QStringLiteral("%1 written, %2 readable").arg(written).arg(info.decodedFrames)));
    }

    void onlyOurCameraIsHeardOneKeyPerTickAndNoHandleLeaks()
    {
        const unsigned short vendor = 0x3F1C, product = 0x5501;
        FakeHid::reset();
        {
            UsbCamHID hid;
            QList<int> ids;
            connect(&hid, &UsbCamHID::btnClicked, [&ids](int id) { ids << id; });
            // One poll as the 10 ms timer runs it, without waiting for the timer.
            const auto tick = [&hid](int times) {
                while (times--)
                    QMetaObject::invokeMethod(&hid, "onTimeRead", Qt::DirectConnection);
            };
            QCOMPARE(hid.openDevices(), 0);
            FakeHid::addDevice("/dev/hidraw0", 0x046D, product, 0x0200);
            FakeHid::addDevice("/dev/hidraw2", vendor, 0x5502, 0x0300);
            QCOMPARE(hid.openDevices(), 0);
            QCOMPARE(FakeHid::openHandleCount(), 0);
            FakeHid::addDevice("/dev/hidraw3", vendor, product, 0x0102);
            // hidraw lists an interface once per usage: the same path may come twice.
            FakeHid::addDevice("/dev/hidraw1", vendor, product, 0x0105);
            FakeHid::addDevice("/dev/hidraw1", vendor, product, 0x0105);
            hid.openDevices();
            QCOMPARE(hid.openDevices(), 0x0105); // the rescan closed the first handles
            QCOMPARE(FakeHid::openHandleCount(), 2);

            FakeHid::pushReport("/dev/hidraw1", "W");
            for (const char* report : { "s", "x", "V", "W", "SVW", "S", "V" }) {
                FakeHid::pushReport("/dev/hidraw3", report);
                QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Got camera key: ") + report[0]));
            }
            tick(4); // one report per interface and tick; lower case and others only logged
            QCOMPARE(ids, (QList<int> { 3, 2, 3 }));
            tick(2); // two presses in consecutive ticks; only a report's first byte counts
            QCOMPARE(ids, (QList<int> { 3, 2, 3, 1, 1 }));
            FakeHid::removeDevice("/dev/hidraw1"); // unplugged: its reads fail quietly
            QTRY_COMPARE(ids, (QList<int> { 3, 2, 3, 1, 1, 2 })); // the poll timer reads by itself
        }
        QCOMPARE(FakeHid::openHandleCount(), 0);
        QVERIFY(!FakeHid::isInitialised());
    }
};

KARVEX_TEST_MAIN(TestVideo)
#include "TestVideo.moc"
