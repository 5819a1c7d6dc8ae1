// The camera emulator's picture as FFmpeg's real V4L2 input decodes it; the negotiation, the
// controls and unplugging are checked through the program in the capture and window tests.
#include "FakeV4l2Camera.h"
#include "FfmpegPtr.h"
#include "TestSupport.h"

#include <QImage>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

const char* const kNode = "/dev/video7";

using Input = ffmpeg::InputContextPtr;
using Packet = ffmpeg::PacketPtr;

// Opens the node through FFmpeg's V4L2 input; options as "key", "value" pairs.
Input openInput(const QStringList& options)
{
    AVDictionary* dictionary = nullptr;
    for (int i = 0; i + 1 < options.size(); i += 2)
        av_dict_set(&dictionary, options[i].toUtf8().constData(), options[i + 1].toUtf8().constData(), 0);
    AVFormatContext* context = nullptr;
    const int r = avformat_open_input(&context, kNode, av_find_input_format("video4linux2"), &dictionary);
    av_dict_free(&dictionary);
    return Input(r < 0 ? nullptr : context);
}

// The next frame, decoded and converted to RGB.
QImage readPicture(AVFormatContext* input)
{
    const AVCodecParameters* parameters = input->streams[0]->codecpar;
    ffmpeg::CodecContextPtr decoder(avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
    avcodec_parameters_to_context(decoder.get(), parameters);
    if (avcodec_open2(decoder.get(), decoder->codec, nullptr) < 0)
        return {};
    Packet packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    if (av_read_frame(input, packet.get()) < 0 || avcodec_send_packet(decoder.get(), packet.get()) < 0
        || avcodec_receive_frame(decoder.get(), frame.get()) < 0)
        return {};
    QImage image(frame->width, frame->height, QImage::Format_RGB888);
    ffmpeg::SwsContextPtr scale(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
        frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr));
    uint8_t* planes[1] = { image.bits() };
    const int strides[1] = { int(image.bytesPerLine()) };
    sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return image;
}

// Whether two colours match within what JPEG and the YUV round trip change.
bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 && qAbs(qBlue(a) - qBlue(b)) < 24;
}

} // namespace

class TestFakeV4l2 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pictureShowsColourBars_data();
    void pictureShowsColourBars();

private:
    std::unique_ptr<FakeV4l2Camera> m_cameras;
};

void TestFakeV4l2::initTestCase()
{
    if (!FakeV4l2Camera::isPreloaded())
        QSKIP("libkarvex-fake-v4l2.so is not preloaded (run through ctest)");
    avdevice_register_all();
    av_log_set_level(AV_LOG_ERROR);
}

void TestFakeV4l2::init()
{
    m_cameras.reset(new FakeV4l2Camera);
    m_cameras->plug(FakeV4l2Camera::standardDevice(QString::fromLatin1(kNode)));
}

void TestFakeV4l2::cleanup()
{
    m_cameras.reset();
}

void TestFakeV4l2::pictureShowsColourBars_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("size");

    QTest::newRow("MJPEG") << "mjpeg"
                           << "1280x720";
    QTest::newRow("YUYV") << "yuyv422"
                          << "640x480";
}

void TestFakeV4l2::pictureShowsColourBars()
{
    QFETCH(QString, format);
    QFETCH(QString, size);

    const Input input = openInput({ "input_format", format, "video_size", size });
    QVERIFY(input);
    const QImage picture = readPicture(input.get());
    QVERIFY(!picture.isNull());
    const int w = picture.width();
    const int h = picture.height();
    QVERIFY(near(picture.pixel(w / 14, h / 2), qRgb(255, 255, 0)));
    QVERIFY(near(picture.pixel(w * 3 / 14, h / 8), qRgb(0, 255, 255)));
    QVERIFY(near(picture.pixel(w * 9 / 14, h / 8), qRgb(255, 0, 0)));
    QVERIFY(near(picture.pixel(w * 13 / 14, h / 2), qRgb(0, 0, 0)));
    QVERIFY(near(picture.pixel(w / 2, h / 2), qRgb(255, 255, 255)));
}

KARVEX_TEST_MAIN(TestFakeV4l2)
#include "TestFakeV4l2.moc"
