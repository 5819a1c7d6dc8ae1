#include "CamGrabber.h"
#include "CamViewer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QVBoxLayout>

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
    // The picture of the next tick, which reflects every change made before.
    QImage nextPicture()
    {
        const int target = presented + 1;
        return QTest::qWaitFor([&] { return presented >= target; }, 5000) ? viewer.readPixels() : QImage();
    }
};

// Red with a blue top-left quarter.
QString quartered(const QSize& size)
{
    return QStringLiteral("color=c=red:size=%1x%2:rate=30,drawbox=w=iw/2:h=ih/2:color=blue:t=fill")
        .arg(size.width())
        .arg(size.height());
}
} // namespace

class TestCamViewerPixels : public QObject
{
    Q_OBJECT
private slots:
    void pictureIsPlacedTurnedAndMirrored_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QString>("change"); // zoomed to 3x, quarter turn, mirrored
        QTest::addColumn<QRect>("expected"); // in the 640 x 480 view
        QTest::addColumn<QPoint>("blueSide"); // where the blue quarter ends up from the centre
        const QSize small(320, 240);
        const QRect centred(160, 120, 320, 240);
        QTest::newRow("small: own size") << small << "" << centred << QPoint(-1, -1);
        QTest::newRow("wide: fitted") << QSize(1280, 480) << "" << QRect(0, 120, 640, 240) << QPoint(-1, -1);
        QTest::newRow("tall: fitted") << QSize(480, 960) << "" << QRect(200, 0, 240, 480) << QPoint(-1, -1);
        QTest::newRow("zoomed") << small << "zoom" << QRect(-160, -120, 960, 720) << QPoint(-1, -1);
        QTest::newRow("90 degrees") << QSize(320, 80) << "turn" << QRect(280, 80, 80, 320) << QPoint(1, -1);
        QTest::newRow("mirrored horizontally") << small << "h" << centred << QPoint(1, -1);
        QTest::newRow("mirrored vertically") << small << "v" << centred << QPoint(-1, 1);
    }

    void pictureIsPlacedTurnedAndMirrored()
    {
        QFETCH(QSize, source);
        QFETCH(QString, change);
        QFETCH(QRect, expected);
        QFETCH(QPoint, blueSide);
        Stage stage(quartered(source));
        for (int i = 0; i < (change == "zoom" ? 20 : 0); ++i)
            stage.viewer.zoomStep(true);
        stage.viewer.setRotation(change == "turn" ? 90 : 0);
        if (change == "h" || change == "v")
            stage.viewer.setFlip(false, change == "h");
        const QImage picture = stage.nextPicture();
        QVERIFY(occupies(picture, expected, 'r'));
        const QPoint c = expected.center(), d = blueSide * 3;
        const QByteArray around = QByteArray(1, hue(picture, c + d)) + hue(picture, c + QPoint(-d.x(), d.y()))
            + hue(picture, c + QPoint(d.x(), -d.y()));
        QCOMPARE(around, QByteArray("brr"));
    }

    void onScreenBlackWithoutCameraThenThePictureWhereTheWidgetIs()
    {
        // Away from the corner where windows of tests running alongside appear, over a white
        // window whose pixels must not show through.
        CamGrabber grabber;
        QWidget before, window;
        auto* viewer = new CamViewer(&window);
        (new QVBoxLayout(&window))->addWidget(viewer);
        for (QWidget* shown : { &before, &window }) {
            shown->setStyleSheet(QStringLiteral("background: white"));
            shown->setGeometry(1000, 500, 500, 400);
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown));
        }
        window.raise();
        const QPoint centre = viewer->mapToGlobal(viewer->rect().center());
        const auto screenHue
            = [&window](const QPoint& at) { return hue(window.screen()->grabWindow(0).toImage(), at); };
        QTRY_COMPARE(screenHue(centre), 'k');

        QVERIFY(grabber.openInput("lavfi", "color=c=red:size=1280x720:rate=30"));
        viewer->setGrabber(&grabber);
        QTRY_COMPARE(screenHue(centre), 'r');
    }

    void overlaysAtTheirCornersForTheirTime()
    {
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
        QImage mark(40, 20, QImage::Format_RGB32);
        mark.fill(Qt::green);
        const QString markPath = QDir::current().absoluteFilePath("mark.png");
        QVERIFY(mark.save(markPath));
        Stage stage("color=c=blue:size=64x48:rate=30"); // leaves the corners black
        const QRect freezeBand(380, 10, 250, 25), snapshotBand(380, 30, 250, 30),
            whiteBalanceBand(380, 50, 250, 35);
        stage.viewer.setFreeze(true);
        stage.viewer.showSnapshotLabel();
        stage.viewer.showWhiteBalanceLabel();
        stage.viewer.setRecording(true);
        stage.viewer.setWatermark(false, QString(), markPath);
        QElapsedTimer shown;
        shown.start();
        QImage picture = stage.nextPicture();
        QVERIFY(countHue(picture, freezeBand, 'r') > 20);
        QVERIFY(countHue(picture, snapshotBand, 'w') > 20);
        QVERIFY(countHue(picture, whiteBalanceBand, 'g') > 20);
        QVERIFY(allBlack(picture, QRect(630, 0, 10, 440)) && allBlack(picture, QRect(180, 0, 180, 90)));
        QVERIFY(occupies(picture, QRect(590, 450, 40, 20), 'g')); // 10 pixels from the corner
        QCOMPARE(hue(picture, QPoint(22, 22)), 'r'); // a round recording dot...
        QVERIFY(countHue(picture, QRect(35, 12, 120, 30), 'w') > 20); // ...and its clock

        // The snapshot label goes after a second, the white-balance one after three.
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), snapshotBand, 'w') == 0, 3000);
        if (shown.elapsed() < 2500)
            QVERIFY(countHue(stage.viewer.readPixels(), whiteBalanceBand, 'g') > 20);
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), whiteBalanceBand, 'g') == 0, 5000);
        QVERIFY(shown.elapsed() >= 3000);
        QVERIFY(countHue(stage.viewer.readPixels(), freezeBand, 'r') > 20);
        stage.viewer.setFreeze(false);
        stage.viewer.setRecording(false);
        stage.viewer.setWatermark(true, QStringLiteral("  Karvex  "), markPath);
        picture = stage.nextPicture();
        QVERIFY(
            allBlack(picture, QRect(0, 0, 640, 90)) && countHue(picture, QRect(440, 420, 190, 50), 'w') > 20);
        QVERIFY(allBlack(picture, QRect(0, 470, 640, 10)) && allBlack(picture, QRect(630, 0, 10, 480)));
    }

    void softwareRendererFrozenBeforeTheFirstPictureKeepsIt()
    {
        // Without GL drivers no accelerated renderer can be made: the software one must draw.
        qputenv("LIBGL_DRIVERS_PATH", "/karvex-no-gl-drivers");
        // Red for half a second of frames, then blue.
        Stage stage("color=c=red:s=64x48:r=30:d=0.5[a];color=c=blue:s=64x48:r=30[b];[a][b]concat[out0]");
        qunsetenv("LIBGL_DRIVERS_PATH");
        QCOMPARE(stage.viewer.rendererName(), QStringLiteral("software"));
        stage.viewer.setFreeze(true);
        const QPoint middle(320, 240);
        QCOMPARE(hue(stage.nextPicture(), middle), 'r');
        bool blueTaken = false; // sticky: QTRY evaluates once more after success
        const auto takeBlue = [&stage, &blueTaken] {
            const ffmpeg::FramePtr last(stage.viewer.takeLastFrame());
            return blueTaken = blueTaken || (last && last->data[2][0] < 128); // V of blue
        };
        QTRY_VERIFY_WITH_TIMEOUT(takeBlue(), 5000);
        QCOMPARE(hue(stage.nextPicture(), middle), 'r');
        stage.viewer.setFreeze(false);
        QCOMPARE(hue(stage.nextPicture(), middle), 'b');
    }
};

KARVEX_TEST_MAIN(TestCamViewerPixels)
#include "TestCamViewerPixels.moc"
