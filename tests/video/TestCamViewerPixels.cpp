#include "CamGrabber.h"
#include "CamViewer.h"
#include "TestSupport.h"

#include <QDeadlineTimer>

extern "C" {
#include <libavutil/frame.h>
}

// What the view really draws, read back from its SDL renderer on a real X display.
namespace {
// k(black) b g c r m y w(hite) by saturated channels, '?' for anything in between.
char hue(const QImage& image, const QPoint& at)
{
    const QRgb c = image.pixel(at);
    const auto level = [](int v) { return v > 170 ? 1 : v < 85 ? 0 : -9; };
    const int index = level(qRed(c)) * 4 + level(qGreen(c)) * 2 + level(qBlue(c));
    return index < 0 ? '?' : "kbgcrmyw"[index];
}

int countHue(const QImage& image, const QRect& area, char wanted)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.valid(x, y) && hue(image, QPoint(x, y)) == wanted;
    return n;
}

bool allBlack(const QImage& image, const QRect& area)
{
    return countHue(image, area, 'k') == area.width() * area.height();
}

// The picture fills rect (its bottom-right corner in the given hue), black just outside it.
bool occupies(const QImage& image, const QRect& rect, char wanted)
{
    const QRect out = rect.adjusted(-2, -2, 2, 2);
    const QPoint c = rect.center();
    for (const QPoint& p : { QPoint(out.left(), c.y()), QPoint(out.right(), c.y()), QPoint(c.x(), out.top()),
             QPoint(c.x(), out.bottom()) })
        if (image.rect().contains(p) && hue(image, p) != 'k')
            return false;
    return hue(image, rect.intersected(image.rect()).bottomRight() - QPoint(2, 2)) == wanted;
}

// Red with a blue top-left quarter.
QString quarteredPicture(const QSize& size)
{
    return QString::asprintf(
        "color=c=red:s=%dx%d:r=30,drawbox=w=iw/2:h=ih/2:c=blue:t=fill", size.width(), size.height());
}

// Red for half a second of frames, then blue; small, so the corners of the view stay black.
const QString kRedThenBlue
    = QStringLiteral("color=c=red:s=64x48:r=30:d=0.5[a];color=c=blue:s=64x48:r=30[b];[a][b]concat[out0]");
// Where the labels are drawn in the 640 x 480 view.
const QRect kFreezeBand(380, 10, 250, 25);
const QRect kSnapshotBand(380, 30, 250, 30);
const QRect kWhiteBalanceBand(380, 50, 250, 35);
const QPoint kMiddle(320, 240);

// A shown view drawing a lavfi picture, with read-back on.
struct Stage {
    CamGrabber grabber;
    CamViewer viewer;
    int presented = 0;

    explicit Stage(const QString& source)
    {
        viewer.resize(640, 480);
        viewer.setReadBack(true);
        viewer.setPresentHook([this](const AVFrame*) { ++presented; });
        viewer.show();
        if (grabber.openInput("lavfi", source.toLatin1().constData()))
            viewer.setGrabber(&grabber);
    }
    // Takes the frame a recording would take now: whether one of those taken so far was blue
    // (V of blue is low). Remembered, as the frame is gone once taken.
    bool tookBlue()
    {
        const ffmpeg::FramePtr last = viewer.takeLastFrame();
        if (last && last->data[2][0] < 128)
            blueTaken = true;
        return blueTaken;
    }
    bool blueTaken = false;
    // The picture of the next tick, which reflects every change made before.
    QImage nextPicture()
    {
        const int target = presented + 1;
        return QTest::qWaitFor([&] { return presented >= target; }, 5000) ? viewer.readPixels() : QImage();
    }
};
} // namespace

class TestCamViewerPixels : public QObject
{
    Q_OBJECT
    std::unique_ptr<Stage> stage;
    QString markPath;

private slots:
    void init()
    {
        QImage mark(40, 20, QImage::Format_RGB32);
        mark.fill(Qt::green);
        markPath = QDir::current().absoluteFilePath("mark.png");
        QVERIFY(mark.save(markPath));
    }

    void cleanup() { stage.reset(); }

    void pictureIsFittedIntoTheView_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QRect>("expected"); // in the 640 x 480 view
        QTest::addColumn<QPoint>("blueSide"); // where the blue quarter ends up from the centre
        QTest::newRow("wide: fitted") << QSize(1280, 480) << QRect(0, 120, 640, 240) << QPoint(-1, -1);
        QTest::newRow("tall: fitted") << QSize(480, 960) << QRect(200, 0, 240, 480) << QPoint(-1, -1);
    }

    void pictureIsFittedIntoTheView()
    {
        QFETCH(QSize, source);
        QFETCH(QRect, expected);
        QFETCH(QPoint, blueSide);
        stage = std::make_unique<Stage>(quarteredPicture(source));
        const QImage picture = stage->nextPicture();
        QVERIFY(occupies(picture, expected, 'r'));
        // Blue on the given side of the centre, red on the other two sides.
        const QPoint c = expected.center();
        const QPoint d = blueSide * 3;
        QCOMPARE(hue(picture, c + d), 'b');
        QCOMPARE(hue(picture, c + QPoint(-d.x(), d.y())), 'r');
        QCOMPARE(hue(picture, c + QPoint(d.x(), -d.y())), 'r');
    }

    void theClockCountsHoursPastTwoDigits()
    {
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
    }

    void theSoftwareRendererDrawsWithoutGlDrivers()
    {
        // Without GL drivers no accelerated renderer can be made: the software one must draw.
        qputenv("LIBGL_DRIVERS_PATH", "/karvex-no-gl-drivers");
        stage = std::make_unique<Stage>(kRedThenBlue);
        qunsetenv("LIBGL_DRIVERS_PATH");
        QCOMPARE(stage->viewer.rendererName(), QStringLiteral("software"));
        QCOMPARE(hue(stage->nextPicture(), kMiddle), 'r');
    }

    void overlaysAreDrawnInTheirPlaces()
    {
        stage = std::make_unique<Stage>(kRedThenBlue);
        stage->viewer.setFreeze(true);
        stage->viewer.showSnapshotLabel();
        stage->viewer.showWhiteBalanceLabel();
        stage->viewer.setRecording(true);
        stage->viewer.setWatermark(false, QString(), markPath);
        const QImage picture = stage->nextPicture();
        QVERIFY(countHue(picture, kFreezeBand, 'r') > 20);
        QVERIFY(countHue(picture, kSnapshotBand, 'w') > 20);
        QVERIFY(countHue(picture, kWhiteBalanceBand, 'g') > 20);
        // A round recording dot with its clock beside it.
        QCOMPARE(hue(picture, QPoint(22, 22)), 'r');
        QVERIFY(countHue(picture, QRect(35, 12, 120, 30), 'w') > 20);
        // The watermark picture 10 pixels from the bottom-right corner.
        QVERIFY(occupies(picture, QRect(590, 450, 40, 20), 'g'));
        QVERIFY(allBlack(picture, QRect(630, 0, 10, 440)));
        QVERIFY(allBlack(picture, QRect(180, 0, 180, 90)));
    }

    void theSnapshotLabelGoesAfterASecondTheWhiteBalanceOneAfterThree()
    {
        stage = std::make_unique<Stage>(kRedThenBlue);
        stage->viewer.showSnapshotLabel();
        stage->viewer.showWhiteBalanceLabel();
        const QDeadlineTimer whiteBalanceDue(3000);
        QVERIFY(countHue(stage->nextPicture(), kWhiteBalanceBand, 'g') > 20);
        QTRY_COMPARE_WITH_TIMEOUT(countHue(stage->nextPicture(), kSnapshotBand, 'w'), 0, 3000);
        QVERIFY(countHue(stage->nextPicture(), kWhiteBalanceBand, 'g') > 20);
        QTRY_COMPARE_WITH_TIMEOUT(countHue(stage->nextPicture(), kWhiteBalanceBand, 'g'), 0, 5000);
        QVERIFY(whiteBalanceDue.hasExpired());
    }

    void aFrozenPictureStaysWhileTheLiveOneGoesOn()
    {
        stage = std::make_unique<Stage>(kRedThenBlue);
        stage->viewer.setFreeze(true);
        QCOMPARE(hue(stage->nextPicture(), kMiddle), 'r');
        // What a recording or snapshot takes is the live picture: the camera turns blue after
        // half a second, while the view holds the red one.
        QTRY_VERIFY_WITH_TIMEOUT(stage->tookBlue(), 5000);
        const QImage picture = stage->nextPicture();
        QCOMPARE(hue(picture, kMiddle), 'r');
        QVERIFY(countHue(picture, kFreezeBand, 'r') > 20);
        stage->viewer.setFreeze(false);
        QCOMPARE(hue(stage->nextPicture(), kMiddle), 'b');
    }
};

KARVEX_TEST_MAIN(TestCamViewerPixels)
#include "TestCamViewerPixels.moc"
