// What the camera window shows on a real X display with a window manager: the live picture
// read back from the screen after the changes that used to lose it.
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "FrmCamera.h"
#include "Language.h"
#include "TestSupport.h"

#include <QtWidgets>

namespace {
bool isRed(const QColor& colour)
{
    return colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
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
        CamGrabber::setInputResolver([](const QByteArray&) {
            return qMakePair(QByteArray("lavfi"), QByteArray("color=c=red:size=320x240:rate=30,realtime"));
        });
        DiskSpace::setSource([](const QString&) { return 64LL << 30; });
    }

    void init()
    {
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
        QTest::newRow("Always on Top on") << QStringList { "mvTopm" };
        QTest::newRow("Always on Top on and off") << QStringList { "mvTopm", "mvTopm" };
        QTest::newRow("full screen") << QStringList { "mvFull" };
        QTest::newRow("full screen and back") << QStringList { "mvFull", "mvFull" };
        QTest::newRow("rotation by 90 degrees") << QStringList { "mvpRoat90" };
        QTest::newRow("language switch") << QStringList { "Deutsch" };
    }

    void pictureStaysAfter()
    {
        QFETCH(QStringList, actions);
        for (const QString& name : actions) {
            QAction* entry = action(name.toLatin1().constData());
            for (QAction* language : window->findChild<QMenu*>(QStringLiteral("msLang"))->actions())
                if (language->text() == name)
                    entry = language;
            QVERIFY2(entry, qPrintable(name));
            entry->trigger();
        }
        QTest::qWait(300); // a lost picture shows as black only after the window system redraws
        QTRY_VERIFY_WITH_TIMEOUT(isRed(shownInTheMiddle()), 5000);
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
