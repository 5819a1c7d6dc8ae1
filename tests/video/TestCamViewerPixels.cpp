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
    const auto high = [](int v) { return v > 170; };
    const auto low = [](int v) { return v < 85; };
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (low(r) && low(g) && low(b))
        return Hue::Black;
    if (high(r) && high(g) && high(b))
        return Hue::White;
    if (high(r) && low(g) && low(b))
        return Hue::Red;
    if (low(r) && high(g) && low(b))
        return Hue::Green;
    if (low(r) && low(g) && high(b))
        return Hue::Blue;
    return Hue::Other;
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

QString hueName(Hue hue)
{
    static const char* names[] = { "black", "red", "green", "blue", "white", "other" };
    return QString::fromLatin1(names[int(hue)]);
}

// Checks the hue just inside and just outside each edge of the expected picture rectangle.
bool pictureOccupies(const QImage& image, const QRect& rect, Hue inside, QString* why)
{
    const int m = 2;
    const QList<QPair<QPoint, Hue>> probes {
        { rect.topLeft() + QPoint(m, m), inside },
        { rect.bottomRight() - QPoint(m, m), inside },
        { QPoint(rect.left() - m, rect.center().y()), Hue::Black },
        { QPoint(rect.right() + m, rect.center().y()), Hue::Black },
        { QPoint(rect.center().x(), rect.top() - m), Hue::Black },
        { QPoint(rect.center().x(), rect.bottom() + m), Hue::Black },
    };
    for (const auto& probe : probes) {
        if (!image.rect().contains(probe.first))
            continue;
        const Hue seen = hueAt(image, probe.first.x(), probe.first.y());
        if (seen != probe.second) {
            *why = QString("at %1,%2: %3 instead of %4")
                       .arg(probe.first.x())
                       .arg(probe.first.y())
                       .arg(hueName(seen), hueName(probe.second));
            return false;
        }
    }
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
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        if (grabber.openInput("lavfi", source))
            viewer.setGrabber(&grabber);
    }
    ~Stage()
    {
        viewer.setGrabber(nullptr);
        grabber.close();
    }
    // The picture of the next presented tick (so it reflects every change made before).
    QImage nextPicture()
    {
        const int target = presented + 1;
        QElapsedTimer waited;
        waited.start();
        while (presented < target && waited.elapsed() < 5000)
            QTest::qWait(5);
        return presented >= target ? viewer.readPixels() : QImage();
    }
};

const char* const kRedQuarterBlue
    = "color=c=red:size=320x240:rate=30,drawbox=x=0:y=0:w=160:h=120:color=blue:t=fill";
} // namespace

class TestCamViewerPixels : public QObject
{
    Q_OBJECT
private slots:
    void pictureIsFittedAndCentred_data()
    {
        QTest::addColumn<QSize>("widget");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("small: own size, centred")
            << QSize(640, 480) << "color=c=red:size=320x240:rate=30" << QRect(160, 120, 320, 240);
        QTest::newRow("wide: fitted to the width")
            << QSize(640, 480) << "color=c=red:size=1280x480:rate=30" << QRect(0, 120, 640, 240);
        QTest::newRow("tall: fitted to the height")
            << QSize(640, 480) << "color=c=red:size=480x960:rate=30" << QRect(200, 0, 240, 480);
    }

    void pictureIsFittedAndCentred()
    {
        QFETCH(QSize, widget);
        QFETCH(QString, source);
        QFETCH(QRect, expected);
        Stage stage(widget, source.toLatin1().constData());
        const QImage picture = stage.nextPicture();
        QCOMPARE(picture.size(), widget);
        QString why;
        QVERIFY2(pictureOccupies(picture, expected, Hue::Red, &why), qPrintable(why));
        QCOMPARE(stage.viewer.displayWidth(), expected.width());
    }

    void pictureAppearsOnScreenWhereTheWidgetIs()
    {
        // Inside a window, below a caption, as in the camera window.
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* caption = new QLabel(QStringLiteral("caption"));
        caption->setMinimumHeight(60);
        caption->setAutoFillBackground(true);
        layout->addWidget(caption);
        auto* viewer = new CamViewer(&window);
        layout->addWidget(viewer, 1);
        window.resize(500, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CamGrabber grabber;
        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=1280x720:rate=30"));
        int presented = 0;
        viewer->setPresentHook([&presented](const AVFrame*) { ++presented; });
        viewer->setGrabber(&grabber);
        QTRY_VERIFY(presented >= 2);

        const QImage screen = window.screen()->grabWindow(0).toImage();
        const QPoint centre = viewer->mapToGlobal(viewer->rect().center());
        const QPoint captionCentre = caption->mapToGlobal(caption->rect().center());
        QCOMPARE(hueAt(screen, centre.x(), centre.y()), Hue::Red);
        QVERIFY(hueAt(screen, captionCentre.x(), captionCentre.y()) != Hue::Black);
        QVERIFY(hueAt(screen, captionCentre.x(), captionCentre.y()) != Hue::Red);
        viewer->setGrabber(nullptr);
    }

    void softwareRendererStandsInForAMissingAcceleratedOne()
    {
        // Without GL drivers no accelerated renderer can be made: the view must still draw.
        qputenv("LIBGL_DRIVERS_PATH", "/karvex-no-gl-drivers");
        Stage stage(QSize(640, 480), "color=c=red:size=320x240:rate=30");
        qunsetenv("LIBGL_DRIVERS_PATH");
        QCOMPARE(stage.viewer.rendererName(), QStringLiteral("software"));
        QString why;
        QVERIFY2(
            pictureOccupies(stage.nextPicture(), QRect(160, 120, 320, 240), Hue::Red, &why), qPrintable(why));
    }

    void zoomedPictureOverflowsAroundTheCentre()
    {
        Stage stage(QSize(400, 300), kRedQuarterBlue);
        QVERIFY(!stage.nextPicture().isNull());
        for (int i = 0; i < 10; ++i)
            stage.viewer.zoomStep(true);
        // 640 x 480 centred in 400 x 300: origin (-120, -90), so the blue quarter
        // (source 0..159 x 0..119) ends at widget (200, 150).
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 0, 0), Hue::Blue);
        QCOMPARE(hueAt(picture, 197, 147), Hue::Blue);
        QCOMPARE(hueAt(picture, 203, 153), Hue::Red);
        QCOMPARE(hueAt(picture, 203, 140), Hue::Red);
        QCOMPARE(hueAt(picture, 190, 153), Hue::Red);
        QCOMPARE(hueAt(picture, 399, 299), Hue::Red);

        // A resize returns to the fitted picture: 320 x 240 at (160, 120).
        stage.viewer.resize(640, 480);
        picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 162, 122), Hue::Blue);
        QCOMPARE(hueAt(picture, 477, 357), Hue::Red);
        QCOMPARE(hueAt(picture, 157, 122), Hue::Black);
        QCOMPARE(hueAt(picture, 482, 357), Hue::Black);
    }

    void quarterTurnSwapsTheFootprint()
    {
        Stage stage(QSize(400, 400), "color=c=red:size=320x80:rate=30");
        stage.viewer.setRotation(90);
        QString why;
        QVERIFY2(
            pictureOccupies(stage.nextPicture(), QRect(160, 40, 80, 320), Hue::Red, &why), qPrintable(why));
        QCOMPARE(hueAt(stage.viewer.readPixels(), 45, 200), Hue::Black);
    }

    void quarterTurnIsClockwise()
    {
        Stage stage(QSize(400, 400), kRedQuarterBlue);
        stage.viewer.setRotation(90);
        // The blue top-left quarter turns to the top-right.
        const QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 270, 110), Hue::Blue);
        QCOMPARE(hueAt(picture, 130, 110), Hue::Red);
    }

    void mirroring_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<QPoint>("blueBefore");
        QTest::addColumn<QPoint>("blueAfter");
        QTest::newRow("horizontal") << true << QPoint(40, 120) << QPoint(280, 120);
        QTest::newRow("vertical") << false << QPoint(160, 40) << QPoint(160, 200);
    }

    void mirroring()
    {
        QFETCH(bool, horizontal);
        QFETCH(QPoint, blueBefore);
        QFETCH(QPoint, blueAfter);
        Stage stage(QSize(320, 240),
            horizontal ? "color=c=red:size=320x240:rate=30,drawbox=w=160:h=240:color=blue:t=fill"
                       : "color=c=red:size=320x240:rate=30,drawbox=w=320:h=120:color=blue:t=fill");
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, blueBefore.x(), blueBefore.y()), Hue::Blue);
        QCOMPARE(hueAt(picture, blueAfter.x(), blueAfter.y()), Hue::Red);
        stage.viewer.setFlip(false, horizontal);
        picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, blueBefore.x(), blueBefore.y()), Hue::Red);
        QCOMPARE(hueAt(picture, blueAfter.x(), blueAfter.y()), Hue::Blue);
        stage.viewer.setFlip(true, horizontal);
        QCOMPARE(hueAt(stage.nextPicture(), blueBefore.x(), blueBefore.y()), Hue::Blue);
    }

    void labelsShowAtTheTopRightForTheirTime()
    {
        // A tiny picture in the middle leaves the corners black.
        Stage stage(QSize(640, 480), "color=c=blue:size=64x48:rate=30");
        const QRect labels(640 - 260, 0, 260, 90);
        const QRect rightMargin(630, 0, 10, 90);
        const QRect freezeBand(640 - 260, 10, 250, 25);
        const QRect snapshotBand(640 - 260, 30, 250, 30);
        const QRect whiteBalanceBand(640 - 260, 50, 250, 35);
        QImage picture = stage.nextPicture();
        QCOMPARE(countHue(picture, labels, Hue::Black), labels.width() * labels.height());

        stage.viewer.setFreeze(true);
        stage.viewer.showSnapshotLabel();
        stage.viewer.showWhiteBalanceLabel();
        QElapsedTimer shown;
        shown.start();
        picture = stage.nextPicture();
        QVERIFY(countHue(picture, freezeBand, Hue::Red) > 20);
        QVERIFY(countHue(picture, snapshotBand, Hue::White) > 20);
        QVERIFY(countHue(picture, whiteBalanceBand, Hue::Green) > 20);
        QCOMPARE(countHue(picture, rightMargin, Hue::Black), rightMargin.width() * rightMargin.height());
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
        // Red for about a third of a second, then blue.
        Stage stage(QSize(320, 240),
            "color=c=red:size=64x48:rate=30:duration=0.5[a];color=c=blue:size=64x48:rate=30[b];"
            "[a][b]concat[out0]");
        stage.viewer.setPresentHook([&stage](const AVFrame*) {
            stage.viewer.setFreeze(true); // right after the first red picture
            ++stage.presented;
        });
        QTRY_VERIFY(stage.presented > 0);
        // Wait for blue frames (V below 128) to arrive as the last frame, still drawn red.
        bool blueTaken = false;
        const auto takeBlue = [&stage, &blueTaken] {
            const ffmpeg::FramePtr last(stage.viewer.takeLastFrame());
            return blueTaken = blueTaken || (last && last->data[2][0] < 128);
        };
        QTRY_VERIFY_WITH_TIMEOUT(takeBlue(), 5000);
        QCOMPARE(hueAt(stage.nextPicture(), 160, 120), Hue::Red);
        stage.viewer.setPresentHook([&stage](const AVFrame*) { ++stage.presented; });
        stage.viewer.setFreeze(false);
        QCOMPARE(hueAt(stage.nextPicture(), 160, 120), Hue::Blue);
    }

    void recordingDotAndClockAtTheTopLeft()
    {
        Stage stage(QSize(640, 480), "color=c=blue:size=64x48:rate=30");
        stage.viewer.setRecording(true);
        QImage picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 22, 22), Hue::Red);
        QCOMPARE(hueAt(picture, 10, 10), Hue::Black); // the dot is round, its square corner empty
        QVERIFY(countHue(picture, QRect(35, 12, 120, 30), Hue::White) > 20);
        QCOMPARE(countHue(picture, QRect(0, 0, 34, 60), Hue::White), 0);
        stage.viewer.setRecording(false);
        picture = stage.nextPicture();
        QCOMPARE(hueAt(picture, 22, 22), Hue::Black);
        QCOMPARE(countHue(picture, QRect(35, 12, 120, 30), Hue::White), 0);
    }

    void watermarkSitsBottomRightWithAMargin()
    {
        QImage mark(40, 20, QImage::Format_RGB32);
        mark.fill(Qt::green);
        const QString markPath = QDir::current().absoluteFilePath("mark.png");
        QVERIFY(mark.save(markPath));

        Stage stage(QSize(640, 480), "color=c=blue:size=64x48:rate=30");
        stage.viewer.setWatermark(false, QString(), markPath);
        QString why;
        QVERIFY2(
            pictureOccupies(stage.nextPicture(), QRect(590, 450, 40, 20), Hue::Green, &why), qPrintable(why));
        QCOMPARE(countHue(stage.viewer.readPixels(), QRect(630, 0, 10, 480), Hue::Black), 10 * 480);

        stage.viewer.setWatermark(true, QStringLiteral("  Karvex  "), markPath);
        QImage picture = stage.nextPicture();
        QCOMPARE(countHue(picture, QRect(590, 450, 40, 20), Hue::Green), 0);
        QVERIFY(countHue(picture, QRect(440, 420, 190, 50), Hue::White) > 20);
        QCOMPARE(countHue(picture, QRect(0, 470, 640, 10), Hue::Black), 640 * 10);
        QCOMPARE(countHue(picture, QRect(630, 0, 10, 480), Hue::Black), 10 * 480);

        // Blank text or a missing picture removes the watermark.
        stage.viewer.setWatermark(true, QStringLiteral("   "), QString());
        QCOMPARE(countHue(stage.nextPicture(), QRect(440, 420, 200, 60), Hue::White), 0);
        stage.viewer.setWatermark(false, QString(), markPath);
        QVERIFY(countHue(stage.nextPicture(), QRect(590, 450, 40, 20), Hue::Green) > 0);
        stage.viewer.setWatermark(false, QString(), QDir::current().absoluteFilePath("absent.png"));
        QCOMPARE(countHue(stage.nextPicture(), QRect(590, 450, 40, 20), Hue::Green), 0);
    }
};

KARVEX_TEST_MAIN(TestCamViewerPixels)
#include "TestCamViewerPixels.moc"
