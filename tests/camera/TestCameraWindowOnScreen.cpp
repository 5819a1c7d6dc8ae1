// What the camera window shows on a real X display with a window manager: the live picture
// read back from the screen after the changes that used to lose it, which way the view's
// entries turn and mirror it, and what the keys and the watermark add on top.
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "FakeHidapi.h"
#include "FrmCamera.h"
#include "Language.h"
#include "TestSupport.h"

#include <QtWidgets>

namespace {
bool isRed(const QColor& colour)
{
    return colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
}

QString colourName(const QColor& colour)
{
    if (isRed(colour))
        return QStringLiteral("red");
    if (colour.blue() > 200 && colour.red() < 60 && colour.green() < 60)
        return QStringLiteral("blue");
    if (colour.lightness() < 20)
        return QStringLiteral("black");
    return colour.name();
}
} // namespace

class TestCameraWindowOnScreen : public QObject
{
    Q_OBJECT
    QPointer<FrmCamera> window;

    QAction* action(const char* name) const { return window->findChild<QAction*>(QLatin1String(name)); }
    CamViewer* view() const { return window->findChild<CamViewer*>(); }
    // The colour the screen shows in the middle of the view.
    QColor shownInTheMiddle() const
    {
        const QPoint middle = view()->mapToGlobal(view()->rect().center());
        const QImage shot
            = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1).toImage();
        return shot.pixelColor(0, 0);
    }
    // The colour the screen shows at an offset from the middle of the view.
    QString shownAt(int dx, int dy) const
    {
        const QPoint at = view()->mapToGlobal(view()->rect().center() + QPoint(dx, dy));
        return colourName(
            QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0));
    }
    // The corners of the middle of the picture that show the blue mark (top left in the source).
    QStringList blueCorners() const
    {
        QStringList corners;
        const QList<std::tuple<const char*, int, int>> points { { "top left", -90, -70 },
            { "top right", 90, -70 }, { "bottom left", -90, 70 }, { "bottom right", 90, 70 } };
        for (const auto& [name, dx, dy] : points)
            if (shownAt(dx, dy) == QLatin1String("blue"))
                corners << QLatin1String(name);
        return corners;
    }
    // Whether any pixel of the view's top-right or bottom-right strip (where the labels and the
    // watermark go, beside the 320x240 picture) has the colour.
    bool stripShows(int top, const QColor& colour) const
    {
        const QPoint at = view()->mapToGlobal(QPoint(view()->width() - 400, top));
        const QImage strip
            = QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 400, 40).toImage();
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x)
                if (strip.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    QString netWmState() const
    {
        QProcess xprop;
        xprop.start("xprop", { "-id", QString::number(window->winId()), "_NET_WM_STATE" });
        return xprop.waitForFinished(5000) ? QString::fromLatin1(xprop.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
        if (qEnvironmentVariableIsEmpty("KARVEX_TEST_WM"))
            QSKIP("needs a window manager (run through common/run-with-wm.sh)");
        TestSupport::copyShippedLanguages();
        CameraDevices::setSource([] {
            return QList<CameraDevices::Device> { { "/dev/video0", "ZEN-LUX HD" } };
        });
        // Red with a blue mark in the top-left corner: which way the picture turns shows.
        CamGrabber::setInputResolver([](const QByteArray&) {
            return qMakePair(QByteArray("lavfi"),
                QByteArray("color=c=red:size=320x240:rate=30,"
                           "drawbox=x=0:y=0:w=120:h=90:color=blue:t=fill,realtime"));
        });
        DiskSpace::setSource([](const QString&) { return 64LL << 30; });
    }

    void init()
    {
        FakeHid::reset();
        FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0100);
        QFile::remove(QStringLiteral("settings.ini"));
        Language::instance()->load(QDir().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
        window = new FrmCamera(nullptr);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY_WITH_TIMEOUT(isRed(shownInTheMiddle()), 5000);
    }
    void cleanup() { delete window.data(); }

    void pictureStaysAfter_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("Always on Top on and off") << QStringList { "mvTopm", "mvTopm" };
        QTest::newRow("full screen and back") << QStringList { "mvFull", "mvFull" };
        QTest::newRow("rotation by 90 degrees") << QStringList { "mvpRoat90" };
    }

    void pictureStaysAfter()
    {
        QFETCH(QStringList, actions);
        for (const QString& name : actions) {
            QAction* entry = action(name.toLatin1().constData());
            QVERIFY2(entry, qPrintable(name));
            entry->trigger();
        }
        QTest::qWait(300); // a lost picture shows as black only after the window system redraws
        QTRY_VERIFY_WITH_TIMEOUT(isRed(shownInTheMiddle()), 5000);
    }

    void viewEntryTurnsOrMirrorsThePicture_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Horizontal mirrors left and right")
            << QStringList { "mvpHorz" } << QStringList { "top right" };
        QTest::newRow("Vertical mirrors top and bottom")
            << QStringList { "mvpVert" } << QStringList { "bottom left" };
        QTest::newRow("90 degrees turns clockwise")
            << QStringList { "mvpRoat90" } << QStringList { "top right" };
    }
    void viewEntryTurnsOrMirrorsThePicture()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, expected);
        for (const QString& name : actions)
            action(name.toLatin1().constData())->trigger();
        QTRY_COMPARE(blueCorners(), expected);
    }

    void zoomChangesTheSizeOfThePicture_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("dx");
        QTest::addColumn<QString>("expected");
        // The 320x240 picture is shown at its own size: its right edge 160 pixels from the middle.
        QTest::newRow("Zoom In reaches beyond it") << "moZmin" << 170 << "red";
        QTest::newRow("Zoom Out withdraws inside it") << "moZout" << 150 << "black";
    }
    void zoomChangesTheSizeOfThePicture()
    {
        QFETCH(QString, entry);
        QFETCH(int, dx);
        QFETCH(QString, expected);
        action(entry.toLatin1().constData())->trigger();
        QTRY_COMPARE(shownAt(dx, 0), expected);
    }

    void whiteBalanceKeyShowsItsLabel()
    {
        FakeHid::pushReport("/dev/hidraw0", "W");
        QTRY_VERIFY(stripShows(45, QColor(0, 255, 0)));
    }

    void watermarkIsShownOnceItsDialogIsConfirmed()
    {
        QTimer::singleShot(0, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            dialog->findChild<QRadioButton*>(QStringLiteral("rbText"))->click();
            dialog->findChild<QLineEdit*>(QStringLiteral("leText"))
                ->setText(QStringLiteral("CLINIC WATERMARK"));
            dialog->findChild<QPushButton*>(QStringLiteral("bnOK"))->click();
        });
        action("msWmkr")->trigger();
        int frames = 0;
        view()->setPresentHook([&frames](const AVFrame*) { ++frames; });
        QTRY_VERIFY(frames >= 5);
        const int bottom = view()->height() - 45;
        QTRY_VERIFY(stripShows(bottom, Qt::white));
    }

    void alwaysOnTopReachesTheWindowManager()
    {
        action("mvTopm")->trigger();
        QTRY_VERIFY(netWmState().contains(QLatin1String("_NET_WM_STATE_ABOVE")));
        action("mvTopm")->trigger();
        QTRY_VERIFY(!netWmState().contains(QLatin1String("_NET_WM_STATE_ABOVE")));
    }
};

KARVEX_TEST_MAIN(TestCameraWindowOnScreen)
#include "TestCameraWindowOnScreen.moc"
