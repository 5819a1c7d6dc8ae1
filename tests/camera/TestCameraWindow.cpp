// The camera window itself: the camera list and refresh, the status labels, keys, full
// screen and language switching.
#include "AppSettings.h"
#include "CamViewer.h"
#include "CameraRig.h"
#include "DiskSpace.h"
#include "FakeHidapi.h"
#include "FrmCamera.h"
#include "Language.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include <SDL.h>

namespace {
// The device menu's camera entries as "device key|text|on/off".
QStringList cameraEntries(FrmCamera* window)
{
    QStringList entries;
    const QList<QAction*> actions = window->findChild<QMenu*>(QStringLiteral("mCams"))->actions();
    for (QAction* action : actions) {
        if (action->objectName() != QLatin1String("mcRefr"))
            entries << action->data().toString() + QLatin1Char('|') + action->text()
                    + (action->isChecked() ? QLatin1String("|on") : QLatin1String("|off"));
    }
    return entries;
}

QString entry(const char* key, const char* state = "on", const char* text = "Karvex Camera")
{
    return QLatin1String(key) + QLatin1Char('|') + QLatin1String(text) + QLatin1Char('|')
        + QLatin1String(state);
}

// Status bar labels in order: sbCAM, resolution, sbHID, firmware, sbDSK, free space.
QString statusText(FrmCamera* window, int index)
{
    return window->statusBar()
        ->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)
        .at(index)
        ->text();
}
} // namespace

class TestCameraWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { CameraRig::installLanguages(); }
    void init();

    void cameraMenuOffersSupportedModelsInKeyOrder();
    void refreshKeepsRunningCameraAndReplacesVanishedOne();
    void firmwareLabelShowsKeyDeviceRelease();
    void freeSpaceText_data();
    void freeSpaceText();
    void viewKeysAndDoubleClickFollowTheKeyboardTable();
    void fullScreenRestoresSidePanelOnlyInExamination();
    void mirrorAndRotationEntriesEachKeepOneCheck();
    void topmostKeepsTheWindowShown();
    void cameraKeysRunTheAssignedCommands();
    void languageSwitchRetranslatesWindowAndOpener();
};

void TestCameraWindow::init()
{
    FakeHid::reset();
    QFile::remove(QStringLiteral("settings.ini"));
    Language::instance()->load(CameraRig::englishFile());
}

void TestCameraWindow::cameraMenuOffersSupportedModelsInKeyOrder()
{
    CameraRig rig;
    rig.devices = {
        { QStringLiteral("/dev/video2"), QStringLiteral("ORA-LUX Pro") },
        { QStringLiteral("/dev/video1"), QStringLiteral("zen-lux (lower case)") },
        { QStringLiteral("usb:3-1"), QStringLiteral("Endoscope TUBO-LUX") },
        { QStringLiteral("/dev/video0"), QStringLiteral("ZEN-LUX HD") },
        { QStringLiteral("/dev/video5"), QStringLiteral("Laptop webcam") },
        // The same device name twice: the later description counts.
        { QStringLiteral("/dev/video4"), QStringLiteral("ZEN-LUX HD") },
        { QStringLiteral("/dev/video4"), QStringLiteral("Capture card") },
    };
    rig.sources.insert("/dev/video0", "testsrc2=size=640x480:rate=30,realtime");

    FrmCamera* window = rig.open();
    QCOMPARE(cameraEntries(window),
        QStringList({ entry("/dev/video0"), entry("/dev/video2", "off"), entry("usb_3-1", "off") }));
    QCOMPARE(rig.opens.keys(), QList<QByteArray>({ "/dev/video0" }));
    QVERIFY(rig.waitForFrames());
    QCOMPARE(CameraRig::view(window)->sourceWidth(), 640);
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    QVERIFY(window->findChild<QWidget*>(QStringLiteral("sider"))->isHidden());
    QCOMPARE(statusText(window, 1), QStringLiteral("1920x1080"));
}

void TestCameraWindow::refreshKeepsRunningCameraAndReplacesVanishedOne()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    rig.devices << CameraDevices::Device(QStringLiteral("/dev/video1"), QStringLiteral("ORA-LUX"));
    rig.sources.insert("/dev/video1", "testsrc2=size=320x240:rate=30,realtime");
    FrmCamera* window = rig.open();
    QAction* refresh = CameraRig::action(window, "mcRefr");

    refresh->trigger();
    QCOMPARE(cameraEntries(window), QStringList({ entry("/dev/video0"), entry("/dev/video1", "off") }));
    QCOMPARE(rig.opens.value("/dev/video0"), 1);

    // The camera in use is gone: the first remaining one takes over.
    rig.devices.removeFirst();
    refresh->trigger();
    QCOMPARE(cameraEntries(window), QStringList(entry("/dev/video1")));
    QTRY_COMPARE(CameraRig::view(window)->sourceWidth(), 320);

    // None left: the menu empties, nothing is closed or replaced.
    rig.devices.clear();
    refresh->trigger();
    QVERIFY(cameraEntries(window).isEmpty());
    QCOMPARE(CameraRig::view(window)->sourceWidth(), 320);

    // It comes back: checked again without a reopen; choosing it reopens it.
    rig.devices << CameraDevices::Device(QStringLiteral("/dev/video1"), QStringLiteral("ORA-LUX"));
    refresh->trigger();
    QCOMPARE(cameraEntries(window), QStringList(entry("/dev/video1")));
    QCOMPARE(rig.opens.value("/dev/video1"), 1);
    window->findChild<QMenu*>(QStringLiteral("mCams"))->actions().last()->trigger();
    QCOMPARE(rig.opens.value("/dev/video1"), 2);
}

void TestCameraWindow::firmwareLabelShowsKeyDeviceRelease()
{
    CameraRig rig;
    FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0102);
    FrmCamera* window = rig.open();
    QCOMPARE(statusText(window, 3), QStringLiteral("V1.02"));

    const QList<QPair<unsigned short, QString>> releases = { { 0x0A05, QStringLiteral("VA.05") },
        { 0x0100, QStringLiteral("V1.00") }, { 0x1234, QStringLiteral("V12.34") } };
    for (const auto& release : releases) {
        FakeHid::removeDevice("/dev/hidraw0");
        FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, release.first);
        CameraRig::action(window, "mcRefr")->trigger();
        QCOMPARE(statusText(window, 3), release.second);
    }
    FakeHid::removeDevice("/dev/hidraw0");
    CameraRig::action(window, "mcRefr")->trigger();
    QCOMPARE(statusText(window, 3), QString());
}

void TestCameraWindow::freeSpaceText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("unusable folder") << qint64(-1) << QStringLiteral("0M");
    QTest::newRow("nothing") << qint64(0) << QStringLiteral("0M");
    QTest::newRow("half a gigabyte") << qint64(536870912) << QStringLiteral("512.00M");
    QTest::newRow("a byte under a gigabyte") << qint64(1073741823) << QStringLiteral("1024.00M");
    QTest::newRow("a gigabyte") << qint64(1073741824) << QStringLiteral("1.00G");
    QTest::newRow("one and a half") << qint64(1610612736) << QStringLiteral("1.50G");
}

void TestCameraWindow::freeSpaceText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(DiskSpace::freeText(bytes), text);
    // The window's label follows the disk watch.
    CameraRig rig;
    rig.freeBytes = bytes;
    QCOMPARE(statusText(rig.open(), 5), text);
}

void TestCameraWindow::viewKeysAndDoubleClickFollowTheKeyboardTable()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(rig.waitForFrames());
    CamViewer* view = CameraRig::view(window);

    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(window->isFullScreen());
    QVERIFY(CameraRig::action(window, "mvFull")->isChecked());
    QVERIFY(window->menuBar()->isHidden());
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!window->isFullScreen());
    QVERIFY(!CameraRig::action(window, "mvFull")->isChecked());

    // F12 reaches the view also while the menu bar (and its shortcut) is hidden.
    QTest::keyClick(view, Qt::Key_F12);
    QVERIFY(window->isFullScreen());
    QTest::keyClick(view, Qt::Key_F12);
    QVERIFY(!window->isFullScreen());
    QTest::mouseDClick(view, Qt::LeftButton);
    QVERIFY(window->isFullScreen());
    QTest::mouseDClick(view, Qt::LeftButton);
    QVERIFY(!window->isFullScreen());

    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(view->isFrozen());
    QVERIFY(CameraRig::action(window, "moFrez")->isChecked());
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!view->isFrozen());

    // Keys outside the table change nothing.
    QTest::keyClick(view, Qt::Key_A);
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(!window->isFullScreen());
    QVERIFY(!view->isFrozen());
    QCOMPARE(CameraRig::pictures().size(), 1);
}

void TestCameraWindow::fullScreenRestoresSidePanelOnlyInExamination()
{
    CameraRig rig;
    FrmCamera* window = rig.open();
    window->show();
    QWidget* sider = window->findChild<QWidget*>(QStringLiteral("sider"));
    QAction* full = CameraRig::action(window, "mvFull");

    full->trigger();
    QVERIFY(window->statusBar()->isHidden());
    full->trigger();
    QVERIFY(!window->isFullScreen());
    QVERIFY(!window->isMaximized());
    QVERIFY(sider->isHidden());
    QVERIFY(!window->menuBar()->isHidden());
    QVERIFY(!window->statusBar()->isHidden());

    window->enterExamination(QStringLiteral("Anna"), {});
    QVERIFY(sider->isVisible());
    full->trigger();
    QVERIFY(sider->isHidden());
    full->trigger();
    QVERIFY(sider->isVisible());
}

void TestCameraWindow::mirrorAndRotationEntriesEachKeepOneCheck()
{
    CameraRig rig;
    FrmCamera* window = rig.open();
    CamViewer* view = CameraRig::view(window);
    const QStringList mirrors
        = { QStringLiteral("mvpDeft"), QStringLiteral("mvpVert"), QStringLiteral("mvpHorz") };
    const QStringList rotations = { QStringLiteral("mvpRoat0"), QStringLiteral("mvpRoat90"),
        QStringLiteral("mvpRoat180"), QStringLiteral("mvpRoat270") };
    const auto checked = [window](const QStringList& set) {
        QStringList on;
        for (const QString& name : set) {
            if (window->findChild<QAction*>(name)->isChecked())
                on << name;
        }
        return on;
    };
    const auto choose = [window](const QString& name) { window->findChild<QAction*>(name)->trigger(); };
    QCOMPARE(checked(mirrors), QStringList(QStringLiteral("mvpDeft")));
    QCOMPARE(checked(rotations), QStringList(QStringLiteral("mvpRoat0")));

    // Each entry is checked alone in its own set, whatever the other set holds; choosing the
    // checked entry again keeps it checked.
    const int expectedFlip[] = { SDL_FLIP_NONE, SDL_FLIP_VERTICAL, SDL_FLIP_HORIZONTAL };
    for (int i : { 2, 1, 1, 0 }) {
        choose(mirrors.at(i));
        QCOMPARE(checked(mirrors), QStringList(mirrors.at(i)));
        QCOMPARE(view->flip(), expectedFlip[i]);
        QCOMPARE(checked(rotations), QStringList(QStringLiteral("mvpRoat0")));
    }
    choose(mirrors.at(2));
    for (int i : { 1, 3, 3, 2, 0 }) {
        choose(rotations.at(i));
        QCOMPARE(checked(rotations), QStringList(rotations.at(i)));
        QCOMPARE(view->rotation(), 90.0 * i);
        QCOMPARE(checked(mirrors), QStringList(QStringLiteral("mvpHorz")));
        QCOMPARE(view->flip(), int(SDL_FLIP_HORIZONTAL));
    }
}

void TestCameraWindow::topmostKeepsTheWindowShown()
{
    CameraRig rig;
    FrmCamera* window = rig.open();
    window->show();
    QAction* topmost = CameraRig::action(window, "mvTopm");
    topmost->trigger();
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window->isVisible());
    topmost->trigger();
    QVERIFY(!(window->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(window->isVisible());
}

void TestCameraWindow::cameraKeysRunTheAssignedCommands()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0100);
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QSignalSpy records(window, &FrmCamera::record);
    QAction* recordAction = CameraRig::action(window, "moRecd");

    // Unassigned, key 1 takes a picture and key 2 starts and stops a recording.
    FakeHid::pushReport("/dev/hidraw0", "S");
    QTRY_COMPARE(CameraRig::pictures().size(), 1);
    FakeHid::pushReport("/dev/hidraw0", "V");
    QTRY_VERIFY(recordAction->isChecked());
    FakeHid::pushReport("/dev/hidraw0", "V");
    QTRY_COMPARE(records.size(), 1);

    // Assignments are read on every press; an index outside the table does nothing. Key 2's
    // report is handled after key 1's, so once key 2 has acted key 1 is done.
    AppSettings().setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("7"));
    AppSettings().setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("2"));
    FakeHid::pushReport("/dev/hidraw0", "S");
    FakeHid::pushReport("/dev/hidraw0", "V");
    QTRY_VERIFY(CameraRig::action(window, "moFrez")->isChecked());
    QCOMPARE(CameraRig::pictures().size(), 2); // the freeze picture only
    QVERIFY(!recordAction->isChecked());

    AppSettings().setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("3"));
    const double zoom = CameraRig::view(window)->zoom();
    FakeHid::pushReport("/dev/hidraw0", "S");
    QTRY_VERIFY(CameraRig::view(window)->zoom() > zoom);
}

void TestCameraWindow::languageSwitchRetranslatesWindowAndOpener()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    QDialog opener;
    opener.setObjectName(QStringLiteral("DlgOpener"));
    auto* greeting = new QLabel(QStringLiteral("built-in"), &opener);
    greeting->setObjectName(QStringLiteral("lbGreeting"));
    FrmCamera* window = rig.open(&opener);
    QCOMPARE(greeting->text(), QStringLiteral("Hello"));

    const QList<QAction*> languages = window->findChild<QMenu*>(QStringLiteral("msLang"))->actions();
    QCOMPARE(languages.size(), 2);
    QCOMPARE(languages.at(0)->text(), QStringLiteral("Deutsch"));
    QVERIFY(!languages.at(0)->isChecked());
    QVERIFY(languages.at(1)->isChecked());

    languages.at(0)->trigger();
    QVERIFY(!languages.at(1)->isChecked());
    QCOMPARE(window->windowTitle(), QStringLiteral("Untersuchungskamera"));
    QCOMPARE(CameraRig::action(window, "moSnap")->text(), QStringLiteral("Foto"));
    QCOMPARE(cameraEntries(window), QStringList(entry("/dev/video0", "on", "Karvex Kamera")));
    QCOMPARE(opener.windowTitle(), QStringLiteral("Aufrufer"));
    QCOMPARE(greeting->text(), QStringLiteral("Hallo"));
    QCOMPARE(AppSettings().value(QStringLiteral("Language/path"), QString()), CameraRig::germanFile());
}

KARVEX_TEST_MAIN(TestCameraWindow)
#include "TestCameraWindow.moc"
