#include "CamGrabber.h"
#include "CamViewer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

extern "C" {
#include <libavutil/frame.h>
}

// What the view really draws, read back from its SDL renderer on a real X display.
namespace {
enum class Hue { Black, Red, Green, Blue, White, Other };

Hue hueAt(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    const int high = (qRed(c) > 170) << 2 | (qGreen(c) > 170) << 1 | (qBlue(c) > 170);
    const int low = (qRed(c) < 85) << 2 | (qGreen(c) < 85) << 1 | (qBlue(c) < 85);
    if ((high | low) != 7)
        return Hue::Other;
    switch (high) {
    case 0:
        return Hue::Black;
    case 4:
        return Hue::Red;
    case 2:
        return Hue::Green;
    case 1:
        return Hue::Blue;
    case 7:
        return Hue::White;
    default:
        return Hue::Other;
    }
}

int countHue(const QImage& image, const QRect& area, Hue hue)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += hueAt(image, x, y) == hue;
    return n;
}

// The picture fills rect (its bottom-right corner in the given hue), black just outside it.
bool occupies(const QImage& image, const QRect& rect, Hue hue)
{
    const QRect outside = rect.adjusted(-2, -2, 2, 2);
    const QList<QPair<QPoint, Hue>> probes { { rect.bottomRight() - QPoint(2, 2), hue },
        { QPoint(outside.left(), rect.center().y()), Hue::Black },
        { QPoint(outside.right(), rect.center().y()), Hue::Black },
        { QPoint(rect.center().x(), outside.top()), Hue::Black },
        { QPoint(rect.center().x(), outside.bottom()), Hue::Black } };
    for (const auto& probe : probes)
        if (image.rect().contains(probe.first)
            && hueAt(image, probe.first.x(), probe.first.y()) != probe.second)
            return false;
    return true;
}

// A shown view drawing a lavfi picture, with read-back on.
struct Stage {
    CamGrabber grabber;
    CamViewer viewer;
    int presented = 0;

    Stage(const QSize& size, const char* source)
    {
        viewer.resize(size);
        viewer.setReadBack(true);
        viewer.setPresentHook([this](const AVFrame*) { ++presented; });
        viewer.show();
        if (grabber.openInput("lavfi", source))
            viewer.setGrabber(&grabber);
    }
    ~Stage() { viewer.setGrabber(nullptr); }
    // The picture of the next tick, which reflects every change made before.
    QImage nextPicture()
    {
        const int target = presented + 1;
        QElapsedTimer waited;
        waited.start();
        while (presented < target && waited.elapsed() < 5000)
            QTest::qWait(5);
        return presented >= target ? viewer.readPixels() : QImage(1, 1, QImage::Format_RGB32);
    }
};

const char* const kRedQuarterBlue = "color=c=red:size=320x240:rate=30,drawbox=w=160:h=120:color=blue:t=fill";
const char* const kTinyBlue = "color=c=blue:size=64x48:rate=30"; // leaves the corners black
} // namespace

class TestCamViewerPixels : public QObject
{
    Q_OBJECT
private slots:
    void pictureIsFittedAndCentred_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("small: own size") << "color=c=red:size=320x240:rate=30" << QRect(160, 120, 320, 240);
        QTest::newRow("wide: fits the width")
            << "color=c=red:size=1280x480:rate=30" << QRect(0, 120, 640, 240);
        QTest::newRow("tall: fits the height")
            << "color=c=red:size=480x960:rate=30" << QRect(200, 0, 240, 480);
    }

    void pictureIsFittedAndCentred()
    {
        QFETCH(QString, source);
        QFETCH(QRect, expected);
        Stage stage(QSize(640, 480), source.toLatin1().constData());
        const QImage picture = stage.nextPicture();
        QCOMPARE(picture.size(), QSize(640, 480));
        QVERIFY(occupies(picture, expected, Hue::Red));
    }

    void pictureAppearsOnScreenWhereTheWidgetIs()
    {
        // Inside a window, below a caption, as in the camera window.
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* caption = new QLabel(QStringLiteral("caption"));
        caption->setMinimumHeight(60);
        layout->addWidget(caption);
        auto* viewer = new CamViewer(&window);
        layout->addWidget(viewer, 1);
        // Away from the corner where the windows of tests running alongside appear.
        window.setGeometry(1000, 500, 500, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=1280x720:rate=30"));
        int presented = 0;
        viewer->setPresentHook([&presented](const AVFrame*) { ++presented; });
        viewer->setGrabber(&grabber);
        QTRY_VERIFY(presented >= 2);
        window.raise();
        QTRY_VERIFY(presented >= 4);

        const QImage screen = window.screen()->grabWindow(0).toImage();
        const QPoint centre = viewer->mapToGlobal(viewer->rect().center());
        const QPoint captionCentre = caption->mapToGlobal(caption->rect().center());
        QCOMPARE(hueAt(screen, centre.x(), centre.y()), Hue::Red);
        QVERIFY(hueAt(screen, captionCentre.x(), captionCentre.y()) != Hue::Red);
        viewer->setGrabber(nullptr);
    }

    void withoutCameraTheViewIsBlack()
    {
        // Whatever the screen held there before (here a white window) must not show through.
        QWidget before;
        before.setStyleSheet(QStringLiteral("background: white"));
        before.setGeometry(1000, 500, 400, 300);
        before.show();
        QVERIFY(QTest::qWaitForWindowExposed(&before));
        QWidget window;
        window.setStyleSheet(QStringLiteral("background: white"));
        auto* layout = new QVBoxLayout(&window);
        auto* viewer = new CamViewer(&window);
        layout->addWidget(viewer);
        window.setGeometry(1000, 500, 400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.raise();
        const QPoint centre = viewer->mapToGlobal(viewer->rect().center());
        QTRY_COMPARE(window.screen()->grabWindow(0).toImage().pixelColor(centre), QColor(Qt::black));
    }

    void softwareRendererStandsInForAMissingAcceleratedOne()
    {
        // Without GL drivers no accelerated renderer can be made: the view must still draw.
        qputenv("LIBGL_DRIVERS_PATH", "/karvex-no-gl-drivers");
        Stage stage(QSize(640, 480), "color=c=red:size=320x240:rate=30");
        qunsetenv("LIBGL_DRIVERS_PATH");
        QCOMPARE(stage.viewer.rendererName(), QStringLiteral("software"));
        QVERIFY(occupies(stage.nextPicture(), QRect(160, 120, 320, 240), Hue::Red));
    }

    void zoomedPictureOverflowsAroundTheCentre()
    {
        Stage stage(QSize(400, 300), kRedQuarterBlue);
        for (int i = 0; i < 10; ++i)
            stage.viewer.zoomStep(true);
        // 640 x 480 centred in 400 x 300 starts at (-120, -90): the blue quarter ends at (200, 150).
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 0, 0), Hue::Blue);
        QCOMPARE(hueAt(picture, 197, 147), Hue::Blue);
        QCOMPARE(hueAt(picture, 203, 147), Hue::Red);
        QCOMPARE(hueAt(picture, 197, 153), Hue::Red);
        // A resize returns to the fitted picture, 320 x 240 at (160, 120).
        stage.viewer.resize(640, 480);
        picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 162, 122), Hue::Blue);
        QVERIFY(occupies(picture, QRect(160, 120, 320, 240), Hue::Red));
    }

    void quarterTurnIsClockwiseAroundTheCentre()
    {
        Stage stage(QSize(400, 400), "color=c=red:size=320x80:rate=30,drawbox=w=80:h=80:color=blue:t=fill");
        stage.viewer.setRotation(90);
        // 320 x 80 at (40, 160) turns into 80 x 320 at (160, 40); its blue left end goes up.
        const QImage picture = stage.nextPicture();
        QVERIFY(occupies(picture, QRect(160, 40, 80, 320), Hue::Red));
        QCOMPARE(hueAt(picture, 200, 45), Hue::Blue);
        QCOMPARE(hueAt(picture, 45, 200), Hue::Black);
    }

    void mirroring_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<QPoint>("blue");
        QTest::addColumn<QPoint>("red");
        QTest::newRow("horizontal") << true << QPoint(40, 120) << QPoint(280, 120);
        QTest::newRow("vertical") << false << QPoint(160, 40) << QPoint(160, 200);
    }

    void mirroring()
    {
        QFETCH(bool, horizontal);
        QFETCH(QPoint, blue);
        QFETCH(QPoint, red);
        Stage stage(QSize(320, 240),
            horizontal ? "color=c=red:s=320x240:r=30,drawbox=w=160:h=240:c=blue:t=fill"
                       : "color=c=red:s=320x240:r=30,drawbox=w=320:h=120:c=blue:t=fill");
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, blue.x(), blue.y()), Hue::Blue);
        QCOMPARE(hueAt(picture, red.x(), red.y()), Hue::Red);
        stage.viewer.setFlip(false, horizontal);
        picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, blue.x(), blue.y()), Hue::Red);
        QCOMPARE(hueAt(picture, red.x(), red.y()), Hue::Blue);
    }

    void labelsShowAtTheTopRightForTheirTime()
    {
        Stage stage(QSize(640, 480), kTinyBlue);
        const QRect freezeBand(380, 10, 250, 25), snapshotBand(380, 30, 250, 30),
            whiteBalanceBand(380, 50, 250, 35);
        const QRect rightMargin(630, 0, 10, 90);
        stage.viewer.setFreeze(true);
        stage.viewer.showSnapshotLabel();
        stage.viewer.showWhiteBalanceLabel();
        QElapsedTimer shown;
        shown.start();
        QImage picture = stage.nextPicture();
        QVERIFY(countHue(picture, freezeBand, Hue::Red) > 20);
        QVERIFY(countHue(picture, snapshotBand, Hue::White) > 20);
        QVERIFY(countHue(picture, whiteBalanceBand, Hue::Green) > 20);
        QCOMPARE(countHue(picture, rightMargin, Hue::Black), 10 * 90);
        QCOMPARE(countHue(picture, QRect(0, 0, 300, 90), Hue::Black), 300 * 90);

        // The snapshot label goes after a second, the white-balance one after three.
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), snapshotBand, Hue::White) == 0, 3000);
        if (shown.elapsed() < 2500)
            QVERIFY(countHue(stage.viewer.readPixels(), whiteBalanceBand, Hue::Green) > 20);
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), whiteBalanceBand, Hue::Green) == 0, 5000);
        QVERIFY(shown.elapsed() >= 3000);
        QVERIFY(countHue(stage.viewer.readPixels(), freezeBand, Hue::Red) > 20);
        stage.viewer.setFreeze(false);
        QCOMPARE(countHue(stage.nextPicture(), freezeBand, Hue::Red), 0);
    }

    void freezeKeepsThePictureWhileFramesMoveOn()
    {
        // Red for half a second of frames, then blue. Frozen before the first picture, as
        // after choosing another camera while frozen: that first picture is still shown.
        Stage stage(QSize(320, 240),
            "color=c=red:s=64x48:r=30:d=0.5[a];color=c=blue:s=64x48:r=30[b];[a][b]concat[out0]");
        stage.viewer.setFreeze(true);
        QCOMPARE(hueAt(stage.nextPicture(), 160, 120), Hue::Red);
        bool blueTaken = false;
        const auto takeBlue = [&stage, &blueTaken] {
            const ffmpeg::FramePtr last(stage.viewer.takeLastFrame());
            return blueTaken = blueTaken || (last && last->data[2][0] < 128); // V of blue
        };
        QTRY_VERIFY_WITH_TIMEOUT(takeBlue(), 5000);
        QCOMPARE(hueAt(stage.nextPicture(), 160, 120), Hue::Red);
        stage.viewer.setFreeze(false);
        QCOMPARE(hueAt(stage.nextPicture(), 160, 120), Hue::Blue);
    }

    void recordingDotAndClockAtTheTopLeft()
    {
        Stage stage(QSize(640, 480), kTinyBlue);
        stage.viewer.setRecording(true);
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 22, 22), Hue::Red);
        QCOMPARE(hueAt(picture, 10, 10), Hue::Black); // round dot, empty corner
        QVERIFY(countHue(picture, QRect(35, 12, 120, 30), Hue::White) > 20);
        stage.viewer.setRecording(false);
        picture = stage.nextPicture();
        QCOMPARE(countHue(picture, QRect(0, 0, 200, 60), Hue::Black), 200 * 60);
    }

    void watermarkSitsBottomRightWithAMargin()
    {
        QImage mark(40, 20, QImage::Format_RGB32);
        mark.fill(Qt::green);
        const QString markPath = QDir::current().absoluteFilePath("mark.png");
        QVERIFY(mark.save(markPath));
        Stage stage(QSize(640, 480), kTinyBlue);
        stage.viewer.setWatermark(false, QString(), markPath);
        QVERIFY(occupies(stage.nextPicture(), QRect(590, 450, 40, 20), Hue::Green));

        stage.viewer.setWatermark(true, QStringLiteral("  Karvex  "), markPath);
        QImage picture = stage.nextPicture();
        QVERIFY(countHue(picture, QRect(440, 420, 190, 50), Hue::White) > 20);
        QCOMPARE(countHue(picture, QRect(0, 470, 640, 10), Hue::Black), 640 * 10);
        QCOMPARE(countHue(picture, QRect(630, 0, 10, 480), Hue::Black), 10 * 480);
        // Blank text or a missing picture removes the watermark.
        stage.viewer.setWatermark(true, QStringLiteral("   "), QString());
        QCOMPARE(countHue(stage.nextPicture(), QRect(400, 400, 240, 80), Hue::Black), 240 * 80);
        stage.viewer.setWatermark(false, QString(), markPath);
        stage.viewer.setWatermark(false, QString(), QDir::current().absoluteFilePath("absent.png"));
        QCOMPARE(countHue(stage.nextPicture(), QRect(400, 400, 240, 80), Hue::Black), 240 * 80);
    }
};

KARVEX_TEST_MAIN(TestCamViewerPixels)
#include "TestCamViewerPixels.moc"
