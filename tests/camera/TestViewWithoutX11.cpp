// The camera window on a display SDL cannot draw on (Qt's "minimal" platform stands in for a
// Wayland session without XWayland): the view says that the live picture needs X11.
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "FrmCamera.h"
#include "Language.h"
#include "TestSupport.h"

#include <QtWidgets>

class TestViewWithoutX11 : public QObject
{
    Q_OBJECT
    QPointer<FrmCamera> window;

    CamViewer* view() const { return window->findChild<CamViewer*>(); }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("minimal"))
            QSKIP("runs on Qt's minimal platform");
        TestSupport::copyShippedLanguages();
        Language::instance()->load(QDir().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
        CameraDevices::setSource([] {
            return QList<CameraDevices::Device> { { "/dev/video0", "ZEN-LUX HD" } };
        });
        CamGrabber::setInputResolver([](const QByteArray&) {
            return qMakePair(QByteArray("lavfi"), QByteArray("color=c=red:size=320x240:rate=30,realtime"));
        });
        DiskSpace::setSource([](const QString&) { return 64LL << 30; });
    }
    void init()
    {
        window = new FrmCamera(nullptr);
        window->resize(800, 600);
    }
    void cleanup() { delete window.data(); }

    void viewSaysTheLivePictureNeedsX11()
    {
        QCOMPARE(view()->message(), Language::instance()->text("System", "cam_x11"));
    }
};

KARVEX_TEST_MAIN(TestViewWithoutX11)
#include "TestViewWithoutX11.moc"
