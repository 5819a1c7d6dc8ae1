#include "CaptureFormatChoice.h"
#include "TestSupport.h"

// The default capture format for format tables as real UVC cameras report them
// (v4l2-ctl --list-formats-ext), shortened to the sizes that matter for the choice.
namespace {
// "MJPG 1920x1080 30 25 15; YUYV 640x480 30" -> one entry per format, size and rate;
// "c" after the fourcc marks a compressed format, rates may be fractions ("30000/1001").
CaptureFormats table(const QString& text)
{
    CaptureFormats formats;
    for (const QString& row : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        const CaptureFormat base = CaptureFormat::fromSetting(fields.at(0) + " " + fields.at(1) + " 1/1");
        for (const QString& rate : fields.mid(2)) {
            CaptureFormat format = base;
            const QStringList fraction = rate.split(QLatin1Char('/'));
            format.intervalNumerator = fraction.size() == 2 ? fraction.at(1).toUInt() : 1;
            format.intervalDenominator = fraction.at(0).toUInt();
            format.compressed = fields.at(0) != QLatin1String("YUYV");
            formats << format;
        }
    }
    return formats;
}
} // namespace

class TestCaptureFormatChoice : public QObject
{
    Q_OBJECT
private slots:
    void defaultIsTheLargestFluidPicture_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("720p webcam (C270 class)")
            << "YUYV 640x480 30 25 20 15 10 5; YUYV 1280x720 10 5; MJPG 640x480 30 25 20 15 10 5;"
               "MJPG 1280x720 30 25 20 15 10 5"
            << "MJPG 1280x720 1/30";
        QTest::newRow("1080p webcam with H.264 (C920 class)")
            << "YUYV 640x480 30 24 20 15 10 5; YUYV 1920x1080 5; YUYV 2304x1536 2;"
               "H264 1920x1080 30 24 20 15 10 5; MJPG 1280x720 30 24 20 15 10 5;"
               "MJPG 1920x1080 30 24 20 15 10 5"
            << "MJPG 1920x1080 1/30";
        QTest::newRow("4K camera (Brio class)")
            << "YUYV 640x480 30; YUYV 1920x1080 5; MJPG 1920x1080 60 30; MJPG 3840x2160 30 24;"
               "MJPG 4096x2160 30 24"
            << "MJPG 4096x2160 1/30";
        QTest::newRow("MJPEG-only camera")
            << "MJPG 640x480 120 60 30; MJPG 1280x720 60 30; MJPG 1920x1080 30 25 15"
            << "MJPG 1920x1080 1/30";
        QTest::newRow("YUYV-only camera")
            << "YUYV 160x120 30 25 15; YUYV 640x480 30 25 15; YUYV 800x600 20 15; YUYV 1280x1024 15/2"
            << "YUYV 640x480 1/30";
        QTest::newRow("no size reaches 25 fps") << "YUYV 1600x1200 10 5; YUYV 2592x1944 3 1; YUYV 640x480 15"
                                                << "YUYV 2592x1944 1/3";
        QTest::newRow("only faster than 30 fps") << "MJPG 1280x720 120 60; MJPG 1920x1080 20"
                                                 << "MJPG 1280x720 1/60";
        QTest::newRow("NTSC rates") << "MJPG 1920x1080 30000/1001 15000/1001; YUYV 1920x1080 30000/1001"
                                    << "MJPG 1920x1080 1001/30000";
        QTest::newRow("nothing FFmpeg can read") << "S920 1280x720 30"
                                                 << "";
    }

    void defaultIsTheLargestFluidPicture()
    {
        QFETCH(QString, offered);
        QFETCH(QString, chosen);
        QCOMPARE(CaptureFormatChoice::best(table(offered)).toSetting(), chosen);
    }

    void aKeptChoiceHoldsOnlyWhileOffered_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("offered") << "YUYV 640x480 1/30"
                                 << "YUYV 640x480 1/30";
        QTest::newRow("damaged setting") << "MJPG 1920x"
                                         << "MJPG 1920x1080 1/30";
    }

    void aKeptChoiceHoldsOnlyWhileOffered()
    {
        QFETCH(QString, kept);
        QFETCH(QString, chosen);
        const CaptureFormats offered = table("MJPG 1920x1080 30 15; YUYV 640x480 30");
        QCOMPARE(CaptureFormatChoice::choose(offered, CaptureFormat::fromSetting(kept)).toSetting(), chosen);
    }
};

KARVEX_TEST_MAIN(TestCaptureFormatChoice)
#include "TestCaptureFormatChoice.moc"
