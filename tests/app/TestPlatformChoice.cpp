#include "PlatformChoice.h"
#include "TestSupport.h"

// The Qt platform asked for at start: the live picture needs X11, so a Wayland session with
// XWayland runs Karvex as an X11 client, unless the user chose a platform.
class TestPlatformChoice : public QObject
{
    Q_OBJECT
private slots:
    void platformFollowsTheSession_data()
    {
        QTest::addColumn<QByteArray>("qpaPlatform");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("x11Display");
        QTest::addColumn<bool>("platformArgument");
        QTest::addColumn<QByteArray>("forced");
        QTest::newRow("X11 session") << QByteArray() << QByteArray() << QByteArray(":0") << false
                                     << QByteArray();
        QTest::newRow("Wayland session with XWayland")
            << QByteArray() << QByteArray("wayland-0") << QByteArray(":0") << false << QByteArray("xcb");
        QTest::newRow("Wayland only")
            << QByteArray() << QByteArray("wayland-0") << QByteArray() << false << QByteArray();
        QTest::newRow("platform chosen in the environment")
            << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << false << QByteArray();
        QTest::newRow("platform chosen on the command line")
            << QByteArray() << QByteArray("wayland-0") << QByteArray(":0") << true << QByteArray();
    }

    void platformFollowsTheSession()
    {
        QFETCH(QByteArray, qpaPlatform);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, x11Display);
        QFETCH(bool, platformArgument);
        QFETCH(QByteArray, forced);
        QCOMPARE(PlatformChoice::forced(qpaPlatform, waylandDisplay, x11Display, platformArgument), forced);
    }

    void platformArgumentIsFoundAmongTheArguments()
    {
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        qputenv("DISPLAY", ":0");
        qunsetenv("QT_QPA_PLATFORM");
        char program[] = "karvex";
        char option[] = "-platform";
        char value[] = "wayland";
        char* argv[] = { program, option, value, nullptr };
        QCOMPARE(PlatformChoice::forcedForProcess(3, argv), QByteArray());
    }
};

KARVEX_TEST_MAIN(TestPlatformChoice)
#include "TestPlatformChoice.moc"
