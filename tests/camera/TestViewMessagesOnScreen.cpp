// The texts the camera window's view shows instead of a picture, as drawn by SDL on a real X
// display: read back from the renderer. With KARVEX_SCREENSHOT_DIR set, each case also leaves
// a screenshot of the whole screen there, to be looked at.
#include "CamViewer.h"
#include "CameraDevices.h"
#include "FakeV4l2Camera.h"
#include "FrmCamera.h"
#include "Language.h"
#include "TestSupport.h"

#include <QtWidgets>

namespace {
// The part of the picture that is clearly lighter than the black background.
QRect lightArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 128)
                area |= QRect(x, y, 1, 1);
    return area;
}
} // namespace

class TestViewMessagesOnScreen : public QObject
{
    Q_OBJECT

    QList<CameraDevices::Device> devices;
    std::unique_ptr<FakeV4l2Camera> emulator;
    QScopedPointer<FrmCamera> window;

    QImage shownMessage(const QString& language, bool busyCamera)
    {
        Language::instance()->load(QDir().absoluteFilePath("language/lang_" + language + ".ini"));
        devices.clear();
        if (busyCamera) {
            emulator.reset(new FakeV4l2Camera);
            QJsonObject device = FakeV4l2Camera::standardDevice(QStringLiteral("/dev/video7"));
            device["fail_open"] = QStringLiteral("EBUSY");
            emulator->plug(device);
            devices << CameraDevices::Device(QStringLiteral("/dev/video7"), QStringLiteral("ZEN-LUX HD"));
        }
        window.reset(new FrmCamera(nullptr));
        CamViewer* view = window->findChild<CamViewer*>();
        view->setReadBack(true);
        window->showNormal();
        window->resize(1024, 700);
        if (!QTest::qWaitForWindowExposed(window.data()))
            return QImage();
        if (!QTest::qWaitFor([view] { return view->readPixels().width() > 600; }))
            return QImage();
        QTest::qWait(300); // the screenshot wants the picture on the screen, not just drawn
        const QString shots = qEnvironmentVariable("KARVEX_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QStringLiteral("%1/view-%2-%3.png").arg(shots, busyCamera ? "busy" : "none", language));
        return view->readPixels();
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
        if (!FakeV4l2Camera::isPreloaded())
            QSKIP("the V4L2 camera emulator is not preloaded");
        TestSupport::copyShippedLanguages();
        CameraDevices::setSource([this] { return devices; });
    }
    void cleanup()
    {
        window.reset();
        emulator.reset();
    }

    void messageIsDrawnInTheMiddleOfTheView_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("busyCamera");
        QTest::newRow("no camera, English") << "en-US" << false;
        QTest::newRow("busy camera, German") << "de-DE" << true;
    }
    void messageIsDrawnInTheMiddleOfTheView()
    {
        QFETCH(QString, language);
        QFETCH(bool, busyCamera);
        const QImage shown = shownMessage(language, busyCamera);
        QVERIFY(!shown.isNull());
        const QRect text = lightArea(shown);
        QVERIFY(text.width() > 200);
        QVERIFY(qAbs(text.center().x() - shown.width() / 2) <= 4);
        QVERIFY(qAbs(text.center().y() - shown.height() / 2) <= 4);
    }
};

KARVEX_TEST_MAIN(TestViewMessagesOnScreen)
#include "TestViewMessagesOnScreen.moc"
