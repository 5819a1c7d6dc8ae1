#include "CamGrabber.h"
#include "CamViewer.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
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

bool allBlack(const QImage& image, std::initializer_list<QRect> areas)
{
    return std::all_of(areas.begin(), areas.end(),
        [&](const QRect& area) { return countHue(image, area, 'k') == area.width() * area.height(); });
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
        // Red with a blue top-left quarter.
        Stage stage(QString::asprintf(
            "color=c=red:s=%dx%d:r=30,drawbox=w=iw/2:h=ih/2:c=blue:t=fill", source.width(), source.height()));
        for (int i = 0; i < (change == "zoom" ? 20 : 0); ++i)
            stage.viewer.zoomStep(true);
        stage.viewer.setRotation(change == "turn" ? 90 : 0);
        if (change == "h" || change == "v")
            stage.viewer.setFlip(false, change == "h");
        const QImage picture = stage.nextPicture();
        const QPoint c = expected.center(), d = blueSide * 3; // blue there, red on the other sides
        QVERIFY(occupies(picture, expected, 'r') && hue(picture, c + d) == 'b'
            && hue(picture, c + QPoint(-d.x(), d.y())) == 'r'
            && hue(picture, c + QPoint(d.x(), -d.y())) == 'r');
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

    void overlaysForTheirTimeOverAPictureFrozenBeforeItCame()
    {
        QCOMPARE(CamViewer::clockText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
        QImage mark(40, 20, QImage::Format_RGB32);
        mark.fill(Qt::green);
        const QString markPath = QDir::current().absoluteFilePath("mark.png");
        QVERIFY(mark.save(markPath));
        // Without GL drivers no accelerated renderer can be made: the software one must draw.
        qputenv("LIBGL_DRIVERS_PATH", "/karvex-no-gl-drivers");
        // Red for half a second of frames, then blue; small, so the corners stay black.
        Stage stage("color=c=red:s=64x48:r=30:d=0.5[a];color=c=blue:s=64x48:r=30[b];[a][b]concat[out0]");
        qunsetenv("LIBGL_DRIVERS_PATH");
        QCOMPARE(stage.viewer.rendererName(), QStringLiteral("software"));
        const QRect freezeBand(380, 10, 250, 25), snapshotBand(380, 30, 250, 30), wbBand(380, 50, 250, 35);
        const QPoint middle(320, 240);
        stage.viewer.setFreeze(true);
        stage.viewer.showSnapshotLabel();
        stage.viewer.showWhiteBalanceLabel();
        stage.viewer.setRecording(true);
        stage.viewer.setWatermark(false, QString(), markPath);
        const QDeadlineTimer labelsDue(3000);
        QImage picture = stage.nextPicture();
        // Labels, a round recording dot with its clock, the watermark 10 pixels from the corner.
        QVERIFY(countHue(picture, freezeBand, 'r') > 20 && countHue(picture, snapshotBand, 'w') > 20
            && countHue(picture, wbBand, 'g') > 20 && countHue(picture, QRect(35, 12, 120, 30), 'w') > 20);
        QVERIFY(allBlack(picture, { QRect(630, 0, 10, 440), QRect(180, 0, 180, 90) }));
        QVERIFY(occupies(picture, QRect(590, 450, 40, 20), 'g') && hue(picture, QPoint(22, 22)) == 'r');
        QCOMPARE(hue(picture, middle), 'r');

        // The snapshot label goes after a second, the white-balance one after three; the camera
        // has turned blue by then (what a snapshot takes), the frozen picture stays red.
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), snapshotBand, 'w') == 0, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(countHue(stage.nextPicture(), wbBand, 'g') == 0, 5000);
        QVERIFY(labelsDue.hasExpired());
        picture = stage.viewer.readPixels();
        QVERIFY(countHue(picture, freezeBand, 'r') > 20 && hue(picture, middle) == 'r');
        const ffmpeg::FramePtr last(stage.viewer.takeLastFrame());
        QVERIFY(last && last->data[2][0] < 128); // V of blue
        stage.viewer.setFreeze(false);
        stage.viewer.setRecording(false);
        stage.viewer.setWatermark(true, QStringLiteral("  Karvex  "), markPath);
        picture = stage.nextPicture();
        QVERIFY(hue(picture, middle) == 'b' && countHue(picture, QRect(440, 420, 190, 50), 'w') > 20);
        QVERIFY(allBlack(picture, { QRect(0, 0, 640, 90), QRect(0, 470, 640, 10), QRect(630, 0, 10, 480) }));
    }
};

KARVEX_TEST_MAIN(TestCamViewerPixels)
#include "TestCamViewerPixels.moc"
