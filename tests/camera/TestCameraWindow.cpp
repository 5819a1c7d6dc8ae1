// A real camera window on lavfi test pictures. Only the hardware boundary is scripted: the
// device list, the input behind each device key, the free disk space and the camera keys.
#include "AppSettings.h"
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "CameraPreferences.h"
#include "DeviceMonitor.h"
#include "DiskSpace.h"
#include "DlgBtnMgr.h"
#include "FakeHidapi.h"
#include "FakeLibudev.h"
#include "FakeV4l2Camera.h"
#include "FrmCamera.h"
#include "KeyCaptureEdit.h"
#include "Language.h"
#include "SelectableImageWidget.h"
#include "SmallFileSystem.h"
#include "TestSupport.h"
#include "V4l2Controls.h"

#include <QtWidgets>

namespace {
constexpr qint64 kLimit = 524288000;
constexpr quint32 kBrightness = V4L2_CID_BRIGHTNESS, kAutoExposure = V4L2_CID_EXPOSURE_AUTO;
const QString kModel = QStringLiteral("ZEN-LUX HD");

// Pictures taken (time-stamped; recordings' thumbnails do not match) or recordings.
QStringList captures(const char* pattern = "?????????????????.bmp")
{
    QStringList paths;
    for (const QString& name : QDir("Capture").entryList({ QLatin1String(pattern) }, QDir::Files))
        paths << QDir().absoluteFilePath("Capture/" + name);
    return paths;
}

// Frames ffprobe decodes from a file, or -1 when it reports any error.
int playableFrames(const QString& path)
{
    QProcess probe;
    // ffprobe reads a file: it has no use for the camera emulator.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    probe.setProcessEnvironment(environment);
    probe.start("ffprobe",
        { "-v", "error", "-count_frames", "-select_streams", "v:0", "-of", "csv=p=0", "-show_entries",
            "stream=nb_read_frames", path });
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0 || !probe.readAllStandardError().isEmpty())
        return -1;
    return probe.readAllStandardOutput().trimmed().toInt();
}
} // namespace

class TestCameraWindow : public QObject
{
    Q_OBJECT

    QList<CameraDevices::Device> devices;
    QMap<QByteArray, QByteArray> sources;
    QMap<QByteArray, int> opens;
    qint64 freeBytes = 0;
    int diskQueries = 0, frames = 0;
    QScopedPointer<MsgBoxRecorder> boxes;
    QPointer<FrmCamera> window;
    std::unique_ptr<FakeV4l2Camera> emulator;
    std::unique_ptr<SmallFileSystem> readOnlyMount;
    std::unique_ptr<SmallFileSystem> smallDisk;

    FrmCamera* open(QWidget* opener = nullptr, const QByteArray& source = "testsrc2=s=640x480,realtime")
    {
        if (!source.isEmpty()) {
            devices << CameraDevices::Device(QStringLiteral("/dev/video0"), QStringLiteral("ZEN-LUX HD"));
            sources.insert("/dev/video0", source);
        }
        window = new FrmCamera(opener);
        view()->setPresentHook([this](const AVFrame*) { ++frames; });
        return window;
    }
    QAction* action(const char* name) const { return window->findChild<QAction*>(QLatin1String(name)); }
    CamViewer* view() const { return window->findChild<CamViewer*>(); }
    QList<SelectableImageWidget*> panel() const { return window->findChildren<SelectableImageWidget*>(); }
    static bool waitMore(const int& counter, int more)
    {
        const int target = counter + more;
        return QTest::qWaitFor([&] { return counter >= target; }, 10000);
    }
    static QString systemText(const char* key) { return Language::instance()->text("System", key); }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const MsgBoxRecorder::Box& box : qAsConst(boxes->boxes))
            texts << box.text;
        return texts;
    }
    // The camera entries of the device menu as "device key|text|checked".
    QStringList cameraEntries() const
    {
        QStringList entries;
        for (QAction* a : window->findChild<QMenu*>(QStringLiteral("mCams"))->actions())
            if (a != action("mcRefr") && !a->isSeparator() && !a->menu())
                entries << QString("%1|%2|%3").arg(a->data().toString(), a->text()).arg(a->isChecked());
        return entries;
    }
    QString checkedCamera() const
    {
        QAction* checked = nullptr;
        for (QAction* a : window->findChild<QMenu*>(QStringLiteral("mCams"))->actions())
            if (a->isCheckable() && a->isChecked() && !a->data().toString().isEmpty())
                checked = a;
        return checked ? checked->data().toString() : QString();
    }
    void chooseCamera(const QString& deviceKey) const
    {
        for (QAction* a : window->findChild<QMenu*>(QStringLiteral("mCams"))->actions())
            if (a->data().toString() == deviceKey)
                a->trigger();
    }
    QMenu* formatMenu() const { return window->findChild<QMenu*>(QStringLiteral("mcForm")); }
    // The Format submenu's entries, the checked one marked with "*".
    QStringList formatEntries() const
    {
        QStringList entries;
        for (QAction* a : formatMenu()->actions())
            entries << (a->isChecked() ? "*" : "") + a->text();
        return entries;
    }
    QAction* formatEntry(const QString& text) const
    {
        for (QAction* a : formatMenu()->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    // An emulated ZEN-LUX HD on /dev/video7, left in raw 640x480 by the last program that used it;
    // failOpen makes opening it fail with that errno, "unplugged" leaves the node away.
    void plugEmulatedCamera(const QString& failOpen = QString())
    {
        if (!FakeV4l2Camera::isPreloaded())
            QSKIP("the V4L2 camera emulator is not preloaded");
        emulator.reset(new FakeV4l2Camera);
        QJsonObject device = FakeV4l2Camera::standardDevice(QStringLiteral("/dev/video7"));
        device["fail_open"] = failOpen;
        if (failOpen != QLatin1String("unplugged"))
            emulator->plug(device);
        devices << CameraDevices::Device(QStringLiteral("/dev/video7"), QStringLiteral("ZEN-LUX HD"));
    }
    // Shows the window and makes it the active one, as when the operator works in it.
    void showActive()
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // The capture folder the window uses, as it names it in messages.
    static QString captureFolder() { return QDir().absoluteFilePath(QStringLiteral("Capture")) + '/'; }
    // A capture folder that takes no files: read-only for root, write-protected for others.
    QString useRefusingFolder()
    {
        const QString folder = QDir().absoluteFilePath(QStringLiteral("refusing"));
        QDir().mkpath(folder);
        readOnlyMount.reset(new SmallFileSystem(folder, QStringLiteral("ro")));
        if (!readOnlyMount->isMounted())
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        AppSettings().setValue(QStringLiteral("SavePath/path"), folder);
        return folder + '/';
    }
    QStringList negotiated() const { return emulator->log().filter(QRegularExpression("^S_")); }
    // The emulated camera is pulled out of its socket: gone from the device list, and udev tells.
    void unplugEmulatedCamera(const QString& node = QStringLiteral("/dev/video7"))
    {
        emulator->unplug(node);
        devices.removeAll(CameraDevices::Device(node, kModel));
        FakeUdev::sendEvent("remove", "video4linux", node.toLatin1());
    }
    // Plugged in again (a fresh plug: the camera has forgotten its control values).
    void replugEmulatedCamera(const QString& node = QStringLiteral("/dev/video7"))
    {
        emulator->plug(FakeV4l2Camera::standardDevice(node));
        devices << CameraDevices::Device(node, kModel);
        FakeUdev::sendEvent("add", "video4linux", node.toLatin1());
    }
    // The window has noticed that its picture failed: the status bar no longer shows a size.
    bool waitForLostPicture() const
    {
        return QTest::qWaitFor([this] { return statusText(1).isEmpty(); }, 15000);
    }
    // A control's value as the emulated camera holds it, or INT_MIN when it cannot be read.
    static qint32 cameraControl(quint32 id, const QString& node = QStringLiteral("/dev/video7"))
    {
        const std::unique_ptr<V4l2Controls> device = V4l2Controls::open(node);
        v4l2_control control {};
        control.id = id;
        return device && device->getControl(control) ? control.value : INT_MIN;
    }
    // Opens Video Control from the menu and lets `operate` work in it before it is closed.
    void inVideoControl(const std::function<void(QDialog*)>& operate)
    {
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            shown = dialog != nullptr;
            if (dialog) {
                operate(dialog);
                dialog->findChild<QPushButton*>(QStringLiteral("bnClose"))->click();
            }
        });
        action("msVido")->trigger();
        QVERIFY(shown);
    }
    // The spin box in the row of the control's name.
    static QSpinBox* spinBoxOf(QDialog* dialog, const QString& name)
    {
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            auto* grid = label->parentWidget() ? qobject_cast<QGridLayout*>(label->parentWidget()->layout())
                                               : nullptr;
            if (label->text() != name || !grid)
                continue;
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
            return grid->itemAtPosition(row, 1)->widget()->findChild<QSpinBox*>();
        }
        return nullptr;
    }
    // Status bar labels: sbCAM, resolution, sbHID, firmware, sbDSK, free space.
    QString statusText(int i) const { return window->statusBar()->findChildren<QLabel*>().at(i)->text(); }
    // Notes whether a recording has ended (and been announced) by the time a box tells why.
    void expectStopBeforeBox(const QSignalSpy& records, bool& stopped)
    {
        boxes->onShow = [this, spy = &records, flag = &stopped](const MsgBoxRecorder::Box&) {
            *flag = !action("moRecd")->isChecked() && spy->size() == 1;
        };
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        CameraDevices::setSource([this] { return devices; });
        CamGrabber::setInputResolver([this](const QByteArray& key) {
            ++opens[key];
            return sources.contains(key) ? qMakePair(QByteArray("lavfi"), sources.value(key))
                                         : qMakePair(QByteArray("video4linux2"), key);
        });
        DiskSpace::setSource([this](const QString&) { return ++diskQueries, freeBytes; });
    }
    void init()
    {
        devices.clear();
        sources.clear();
        opens.clear();
        freeBytes = 100LL * 1024 * 1024 * 1024;
        FakeHid::reset();
        QFile::remove(QStringLiteral("settings.ini"));
        QDir(QStringLiteral("Capture")).removeRecursively();
        Language::instance()->load(QDir().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
        boxes.reset(new MsgBoxRecorder(QMessageBox::Ok));
    }
    void cleanup()
    {
        delete window.data();
        boxes.reset();
        emulator.reset();
        readOnlyMount.reset();
        smallDisk.reset();
    }

    void cameraMenuStatusBarAndLanguageFollowTheirSources()
    {
        QDialog opener;
        opener.setObjectName(QStringLiteral("DlgType"));
        auto* caption = new QLabel(&opener);
        caption->setObjectName(QStringLiteral("lbCAM"));
        devices = { { "/dev/video2", "ORA-LUX Pro" }, { "/dev/video1", "zen-lux (lower case)" },
            { "usb:3-1", "Endoscope TUBO-LUX" }, { "/dev/video5", "Laptop webcam" },
            // The same device name twice: the later description counts.
            { "/dev/video4", "ZEN-LUX HD" }, { "/dev/video4", "Capture card" } };
        sources.insert("/dev/video2", "testsrc2=size=320x240:rate=30,realtime");
        freeBytes = 1610612736;
        open(&opener);
        QCOMPARE(statusText(5), QStringLiteral("1.50G"));
        QCOMPARE(caption->text(), QStringLiteral("Camera"));
        const QStringList all = { "/dev/video0|Examination Camera|1", "/dev/video2|Examination Camera|0",
            "usb_3-1|Examination Camera|0" };
        QCOMPARE(cameraEntries(), all);
        QVERIFY(waitMore(frames, 2));

        // Refresh reads the key device's release again and keeps the running camera.
        for (const auto& release : QList<QPair<int, QString>> {
                 { 0x0102, "V1.02" }, { 0x0A05, "VA.05" }, { 0x0100, "V1.00" }, { 0, "" } }) {
            FakeHid::removeDevice("/dev/hidraw0");
            if (release.first)
                FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, release.first);
            action("mcRefr")->trigger();
            QCOMPARE(statusText(3), release.second);
        }
        QCOMPARE(cameraEntries(), all);
        QCOMPARE(opens, (QMap<QByteArray, int> { { "/dev/video0", 1 } }));

        // The camera in use is gone: the first remaining one takes over.
        devices.removeLast();
        action("mcRefr")->trigger();
        QCOMPARE(cameraEntries(), QStringList({ "/dev/video2|Examination Camera|1", all.at(2) }));
        QTRY_COMPARE(view()->sourceWidth(), 320);

        // A language switch retranslates the window, its camera entries and the opener.
        for (QAction* language : window->findChild<QMenu*>(QStringLiteral("msLang"))->actions())
            if (language->text() == QLatin1String("Deutsch"))
                language->trigger();
        QCOMPARE(QStringList({ window->windowTitle(), action("moSnap")->text(), caption->text() })
                << cameraEntries().value(0),
            QStringList({ "Karvex Kamera", "&Foto", "Kamera", "/dev/video2|Untersuchungskamera|1" }));
    }

    void statusBarShowsTheOpenCamerasSizeAndRate()
    {
        devices = { { "/dev/video2", "ZEN-LUX HD" }, { "/dev/video3", "ORA-LUX" } };
        sources.insert("/dev/video2", "testsrc2=size=320x240:rate=30,realtime");
        sources.insert("/dev/video3", "testsrc2=size=640x480:rate=15,realtime");
        open(nullptr, QByteArray());
        QCOMPARE(statusText(1), QStringLiteral("320x240 @ 30 fps"));
        for (QAction* entry : window->findChild<QMenu*>(QStringLiteral("mCams"))->actions())
            if (entry->data().toString() == QLatin1String("/dev/video3"))
                entry->trigger();
        QCOMPARE(statusText(1), QStringLiteral("640x480 @ 15 fps"));
    }

    void formatMenuListsWhatTheCameraOffersWithTheRunningOneChecked()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        QCOMPARE(formatEntries(),
            QStringList({ "*1920x1080, 30 fps (MJPEG)", "1920x1080, 25 fps (MJPEG)",
                "1280x720, 30 fps (MJPEG)", "1280x720, 60 fps (MJPEG)", "640x480, 30 fps (YUYV)",
                "1920x1080, 15 fps (MJPEG)", "1920x1080, 5 fps (YUYV)", "640x480, 15 fps (YUYV)" }));
        QCOMPARE(negotiated(), QStringList({ "S_FMT MJPG 1920x1080", "S_PARM 1/30" }));
        QCOMPARE(statusText(1), QStringLiteral("1920x1080 @ 30 fps"));
    }

    void formatMenuIsHiddenForACameraThatDoesNotTellItsFormats()
    {
        open();
        QVERIFY(!formatMenu()->menuAction()->isVisible());
    }

    void choosingAFormatReopensTheCameraInIt()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        emulator->clearLog();
        formatEntry("1280x720, 60 fps (MJPEG)")->trigger();
        QCOMPARE(negotiated(), QStringList({ "S_FMT MJPG 1280x720", "S_PARM 1/60" }));
        QCOMPARE(statusText(1), QStringLiteral("1280x720 @ 60 fps"));
        QVERIFY(formatEntry("1280x720, 60 fps (MJPEG)")->isChecked());
        QTRY_COMPARE(view()->sourceWidth(), 1280);
    }

    void chosenFormatIsKeptForTheNextWindow()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        formatEntry("640x480, 15 fps (YUYV)")->trigger();
        delete window.data();
        emulator->clearLog();
        window = new FrmCamera(nullptr);
        QCOMPARE(negotiated(), QStringList({ "S_FMT YUYV 640x480", "S_PARM 1/15" }));
    }

    void keptFormatNoLongerOfferedFallsBackToTheBestSilently()
    {
        plugEmulatedCamera();
        AppSettings().setValue(
            QStringLiteral("CameraFormat/ZEN-LUX HD"), QStringLiteral("MJPG 3840x2160 1/30"));
        open(nullptr, QByteArray());
        QCOMPARE(negotiated(), QStringList({ "S_FMT MJPG 1920x1080", "S_PARM 1/30" }));
        QCOMPARE(boxTexts(), QStringList());
    }

    void changingTheFormatStopsTheRecordingFirst()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        QSignalSpy records(window.data(), &FrmCamera::record);
        action("moRecd")->trigger();
        QVERIFY(action("moRecd")->isChecked());
        formatEntry("1280x720, 30 fps (MJPEG)")->trigger();
        QVERIFY(!action("moRecd")->isChecked());
        QCOMPARE(records.size(), 1);
    }

    void deviceMenuShowsACameraPluggedIn()
    {
        if (!FakeV4l2Camera::isPreloaded())
            QSKIP("the V4L2 camera emulator is not preloaded");
        emulator.reset(new FakeV4l2Camera);
        open(nullptr, QByteArray());
        replugEmulatedCamera();
        QTRY_COMPARE(cameraEntries(), QStringList("/dev/video7|Examination Camera|1"));
    }

    void closedWindowOpensNoCameraPluggedIn()
    {
        if (!FakeV4l2Camera::isPreloaded())
            QSKIP("the V4L2 camera emulator is not preloaded");
        emulator.reset(new FakeV4l2Camera);
        open(nullptr, QByteArray());
        window->close();
        // Created after the window's monitor, this one hears the event after it.
        DeviceMonitor later;
        QSignalSpy changes(&later, &DeviceMonitor::devicesChanged);
        replugEmulatedCamera();
        QVERIFY(changes.wait());
        QCoreApplication::processEvents();
        QCOMPARE(emulator->log().filter(QStringLiteral("STREAMON")), QStringList());
    }

    void deviceMenuDropsACameraPulledOut()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        unplugEmulatedCamera();
        QTRY_COMPARE(cameraEntries(), QStringList());
    }

    void lostCameraIsReopenedWhenPluggedBackIntoItsNode()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        unplugEmulatedCamera();
        QVERIFY(waitForLostPicture());
        replugEmulatedCamera();
        QVERIFY(waitMore(frames, 2));
    }

    void cameraKeysComeBackWithTheCamera()
    {
        FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0100);
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        unplugEmulatedCamera();
        FakeHid::removeDevice("/dev/hidraw0");
        FakeUdev::sendEvent("remove", "hidraw", "/dev/hidraw0");
        QVERIFY(waitForLostPicture());
        replugEmulatedCamera();
        FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0100);
        FakeUdev::sendEvent("add", "hidraw", "/dev/hidraw0");
        QVERIFY(waitMore(frames, 2));
        FakeHid::pushReport("/dev/hidraw0", "S"); // key 1: snapshot
        QTRY_COMPARE(captures().size(), 1);
    }

    void lostCameraIsReopenedUnderAnotherNodeByItsDescription()
    {
        plugEmulatedCamera();
        // Another examination camera comes first in the menu and must not take over.
        devices << CameraDevices::Device(QStringLiteral("/dev/video2"), QStringLiteral("ORA-LUX"));
        sources.insert("/dev/video2", "testsrc2=s=320x240,realtime");
        open(nullptr, QByteArray());
        chooseCamera(QStringLiteral("/dev/video7"));
        unplugEmulatedCamera();
        QVERIFY(waitForLostPicture());
        replugEmulatedCamera(QStringLiteral("/dev/video8"));
        QTRY_COMPARE(checkedCamera(), QStringLiteral("/dev/video8"));
    }

    void cameraPulledOutIsNotReplacedByAnother()
    {
        plugEmulatedCamera();
        devices << CameraDevices::Device(QStringLiteral("/dev/video2"), QStringLiteral("ORA-LUX"));
        sources.insert("/dev/video2", "testsrc2=s=320x240,realtime");
        open(nullptr, QByteArray());
        chooseCamera(QStringLiteral("/dev/video7"));
        unplugEmulatedCamera();
        QVERIFY(waitForLostPicture());
        QCOMPARE(opens.value("/dev/video2"), 1); // only when the window opened
    }

    void refreshReopensACameraThatGaveUp()
    {
        plugEmulatedCamera();
        QJsonObject failing = FakeV4l2Camera::standardDevice(QStringLiteral("/dev/video7"));
        failing["unplug_after_frames"] = 10;
        emulator->plug(failing);
        open(nullptr, QByteArray());
        QVERIFY(waitForLostPicture());
        // Back in working order, with no device event to tell.
        emulator->plug(FakeV4l2Camera::standardDevice(QStringLiteral("/dev/video7")));
        action("mcRefr")->trigger();
        QVERIFY(waitMore(frames, 2));
    }

    void recordingStoppedByTheLossStaysStopped()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        QVERIFY(waitMore(frames, 2));
        action("moRecd")->trigger();
        QVERIFY(action("moRecd")->isChecked());
        unplugEmulatedCamera();
        QVERIFY(waitForLostPicture());
        replugEmulatedCamera();
        QVERIFY(waitMore(frames, 2));
        QVERIFY(!action("moRecd")->isChecked());
    }

    void videoControlKeepsTheValueSetForTheCamera()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        inVideoControl(
            [](QDialog* dialog) { spinBoxOf(dialog, QStringLiteral("Brightness"))->setValue(20); });
        QCOMPARE(CameraPreferences::controls(kModel), (QMap<quint32, qint32> { { kBrightness, 20 } }));
    }

    void keptValueIsAppliedWhenTheCameraOpens()
    {
        plugEmulatedCamera();
        CameraPreferences::setControl(kModel, kBrightness, 20);
        open(nullptr, QByteArray());
        QCOMPARE(cameraControl(kBrightness), 20);
    }

    void keptValueIsAppliedAgainAfterAReplug()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        inVideoControl(
            [](QDialog* dialog) { spinBoxOf(dialog, QStringLiteral("Brightness"))->setValue(-12); });
        unplugEmulatedCamera();
        QVERIFY(waitForLostPicture());
        replugEmulatedCamera();
        QTRY_COMPARE(cameraControl(kBrightness), -12);
    }

    void defaultsForgetsTheKeptValues()
    {
        plugEmulatedCamera();
        CameraPreferences::setControl(kModel, kBrightness, 20);
        open(nullptr, QByteArray());
        inVideoControl(
            [](QDialog* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("bnDeft"))->click(); });
        QCOMPARE(CameraPreferences::controls(kModel), (QMap<quint32, qint32> {}));
    }

    void keptValueTheCameraRefusesIsSkipped()
    {
        plugEmulatedCamera();
        CameraPreferences::setControl(kModel, kBrightness, 500); // beyond -64..64
        open(nullptr, QByteArray());
        QCOMPARE(cameraControl(kBrightness), 0);
    }

    void keptValuesAfterARefusedOneStillApply()
    {
        plugEmulatedCamera();
        CameraPreferences::setControl(kModel, kBrightness, 500);
        CameraPreferences::setControl(kModel, kAutoExposure, 0); // "Manual Mode"
        open(nullptr, QByteArray());
        QCOMPARE(cameraControl(kAutoExposure), 0);
    }

    void statusBarIsEmptyWithoutCamera()
    {
        open(nullptr, QByteArray());
        QCOMPARE(statusText(1), QString());
    }

    void viewAndCameraKeysFollowTheirTables()
    {
        FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0100);
        open()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window) && waitMore(frames, 2));
        // F12 has to reach the view also while the menu bar (and its shortcut) is hidden.
        for (Qt::Key key : { Qt::Key_Escape, Qt::Key_F12, Qt::Key_unknown }) {
            for (bool full : { true, false }) {
                key == Qt::Key_unknown ? QTest::mouseDClick(view(), Qt::LeftButton)
                                       : QTest::keyClick(view(), key);
                QVERIFY(window->isFullScreen() == full && action("mvFull")->isChecked() == full
                    && window->menuBar()->isHidden() == full && window->statusBar()->isHidden() == full);
            }
        }
        // Freezing takes exactly one picture, however long the picture stays frozen.
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(view()->isFrozen() && action("moFrez")->isChecked() && waitMore(frames, 2));
        QTest::keyClick(view(), Qt::Key_Space);
        QTest::keyClick(view(), Qt::Key_A);
        QVERIFY(!window->isFullScreen() && !view()->isFrozen());
        QCOMPARE(captures().size(), 1);
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("sider"))->isHidden()); // not in examination

        // Camera keys read their command on every press; one outside the table does nothing.
        // Reports are handled in order, so once key 2 (now freeze) has acted, key 1 is done.
        AppSettings().setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("7"));
        AppSettings().setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("2"));
        FakeHid::pushReport("/dev/hidraw0", "S");
        FakeHid::pushReport("/dev/hidraw0", "V");
        QTRY_VERIFY(action("moFrez")->isChecked());
        QCOMPARE(captures().size(), 2); // the freeze picture only
    }

    void examinationCapturesAreFiledAlsoInFullScreen()
    {
        QWidget opener;
        open(&opener)->setAttribute(Qt::WA_DeleteOnClose);
        window->enterExamination(QStringLiteral("Anna"), {});
        window->show();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy snaps(window, &FrmCamera::snap);
        QSignalSpy records(window, &FrmCamera::record);
        action("moSnap")->trigger();
        QCOMPARE(snaps.size(), 1);
        const QString path = snaps.at(0).at(0).toString();
        QCOMPARE(captures("*"), QStringList(path));
        QCOMPARE(QImage(path).size(), QSize(640, 480));
        QVERIFY(panel().size() == 1 && panel().at(0)->property("path") == path);

        // Full screen hides the side panel, yet the picture is filed under the patient.
        action("mvFull")->trigger();
        QVERIFY(waitMore(frames, 2));
        action("moSnap")->trigger();
        QCOMPARE(snaps.size(), 2);
        QCOMPARE(panel().size(), 2);
        action("mvFull")->trigger();
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("sider"))->isVisible());

        // Recordings within one second keep every video.
        QStringList recorded;
        for (int i = 1; i <= 3; ++i) {
            action("moRecd")->trigger();
            QVERIFY(view()->isRecordingIndicatorOn() && waitMore(frames, 3));
            action("moRecd")->trigger();
            QCOMPARE(records.size(), i);
            recorded += records.last().at(0).toStringList();
        }
        QCOMPARE(recorded, captures("*.mp4"));

        // A hand-edited folder without the trailing separator still receives the pictures.
        QDir().mkdir(QStringLiteral("pictures"));
        AppSettings().setValue(QStringLiteral("SavePath/path"), QDir::current().absoluteFilePath("pictures"));
        QVERIFY(waitMore(frames, 1));
        action("moSnap")->trigger();
        QCOMPARE(QDir(QStringLiteral("pictures")).entryList(QDir::Files).size(), 1);

        // Back stops a recording and announces it before the opener comes back.
        action("moRecd")->trigger();
        bool openerHidden = false;
        connect(window, &FrmCamera::record, this, [&] { openerHidden = opener.isHidden(); });
        window->findChild<QPushButton*>(QStringLiteral("bnBack"))->click();
        QVERIFY(records.size() == 4 && openerHidden && opener.isVisible());
        QTRY_VERIFY(window.isNull());
    }

    void recordingNeedsTheFreeSpaceLimitAndStopsBelowIt()
    {
        open();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy records(window, &FrmCamera::record);
        // The box is modal and the disk watch ticks meanwhile: the tick must not take the
        // refused recording for a running one and report a full disk on top.
        freeBytes = kLimit - 1;
        boxes->onShow = [&](const MsgBoxRecorder::Box&) { QVERIFY(waitMore(diskQueries, 1)); };
        action("moRecd")->trigger();
        QVERIFY(!action("moRecd")->isChecked() && captures("*.mp4").isEmpty());
        QCOMPARE(boxTexts(), QStringList(systemText("disk_mins")));

        freeBytes = kLimit;
        action("moRecd")->trigger();
        QVERIFY(action("moRecd")->isChecked());
        bool stoppedFirst = false;
        expectStopBeforeBox(records, stoppedFirst);
        freeBytes = kLimit - 1;
        QTRY_COMPARE(boxes->boxes.size(), 2);
        QVERIFY(stoppedFirst && waitMore(diskQueries, 2));
        QCOMPARE(boxTexts().mid(1), QStringList(systemText("disk_full")));
        QVERIFY(QFileInfo::exists(records.at(0).at(0).toStringList().value(0)));
    }

    void grabErrorStopsRecordingThenWarns()
    {
        // A source that ends behaves like a camera pulled out of its socket.
        open(nullptr, "testsrc2=size=320x240:rate=30:duration=1");
        QSignalSpy records(window, &FrmCamera::record);
        action("moRecd")->trigger();
        QVERIFY(action("moRecd")->isChecked());
        bool stoppedFirst = false;
        expectStopBeforeBox(records, stoppedFirst);
        QTRY_VERIFY_WITH_TIMEOUT(!boxes->boxes.isEmpty(), 15000);
        QVERIFY(stoppedFirst && waitMore(diskQueries, 2));
        QCOMPARE(boxTexts(), QStringList(systemText("grab_eror")));
    }

    void cameraThatCannotBeOpenedSaysWhyInTheView_data()
    {
        QTest::addColumn<QString>("failOpen");
        QTest::addColumn<QString>("shown");
        QTest::newRow("busy") << "EBUSY"
                              << "The camera is in use by another program.";
        QTest::newRow("no permission") << "EACCES"
                                       << "No permission to use the camera: see the README.";
        QTest::newRow("gone") << "ENOENT"
                              << "The camera could not be opened.";
        QTest::newRow("node missing") << "unplugged"
                                      << "The camera could not be opened.";
    }
    void cameraThatCannotBeOpenedSaysWhyInTheView()
    {
        QFETCH(QString, failOpen);
        QFETCH(QString, shown);
        plugEmulatedCamera(failOpen);
        open(nullptr, QByteArray());
        QCOMPARE(view()->message(), shown);
    }

    void statusBarStaysEmptyForACameraThatCannotBeOpened()
    {
        plugEmulatedCamera(QStringLiteral("EBUSY"));
        open(nullptr, QByteArray());
        QCOMPARE(statusText(1), QString());
    }

    void openedCameraShowsNoMessage()
    {
        plugEmulatedCamera();
        open(nullptr, QByteArray());
        QCOMPARE(view()->message(), QString());
    }

    void viewSaysSoWithoutAnyCamera()
    {
        open(nullptr, QByteArray());
        QCOMPARE(view()->message(), QStringLiteral("No examination camera is connected."));
    }

    void viewMessageFollowsTheLanguage()
    {
        open(nullptr, QByteArray());
        Language::instance()->load(QDir().absoluteFilePath(QStringLiteral("language/lang_de-DE.ini")));
        window->retranslate();
        QCOMPARE(view()->message(), QStringLiteral("Es ist keine Untersuchungskamera angeschlossen."));
    }

    void snapshotWithoutPictureNamesTheFolderAndFilesNothing()
    {
        open(nullptr, QByteArray());
        window->enterExamination(QStringLiteral("Anna"), {});
        QSignalSpy snaps(window.data(), &FrmCamera::snap);
        action("moSnap")->trigger();
        QCOMPARE(boxTexts(), QStringList(systemText("cap_nopic").arg(captureFolder())));
        QCOMPARE(snaps.size(), 0);
        QCOMPARE(panel().size(), 0);
        QCOMPARE(captures("*"), QStringList());
    }

    void recordWithoutPictureNamesTheFolderAndFilesNothing()
    {
        open(nullptr, QByteArray());
        QSignalSpy records(window.data(), &FrmCamera::record);
        action("moRecd")->trigger();
        QCOMPARE(boxTexts(), QStringList(systemText("cap_nopic").arg(captureFolder())));
        QVERIFY(!action("moRecd")->isChecked());
        QCOMPARE(records.size(), 0);
    }

    void snapshotIntoARefusingFolderNamesItAndFilesNothing()
    {
        open();
        window->enterExamination(QStringLiteral("Anna"), {});
        const QString folder = useRefusingFolder();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy snaps(window.data(), &FrmCamera::snap);
        action("moSnap")->trigger();
        QCOMPARE(boxTexts(), QStringList(systemText("snap_fail").arg(folder)));
        QCOMPARE(snaps.size(), 0);
        QCOMPARE(panel().size(), 0);
    }

    void recordIntoARefusingFolderNamesIt()
    {
        open();
        const QString folder = useRefusingFolder();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy records(window.data(), &FrmCamera::record);
        action("moRecd")->trigger();
        QCOMPARE(boxTexts(), QStringList(systemText("rec_fail").arg(folder)));
        QVERIFY(!action("moRecd")->isChecked());
        QCOMPARE(records.size(), 0);
    }

    void recordingOntoAFullDiskStopsAndKeepsWhatWasWritten()
    {
        const QString folder = QDir().absoluteFilePath(QStringLiteral("small"));
        smallDisk.reset(new SmallFileSystem(folder, QStringLiteral("size=256k")));
        if (!smallDisk->isMounted())
            QSKIP("mounting a small file system needs root");
        AppSettings().setValue(QStringLiteral("SavePath/path"), folder);
        open(nullptr, "testsrc2=s=640x480,realtime");
        QVERIFY(waitMore(frames, 2));
        QSignalSpy records(window.data(), &FrmCamera::record);
        action("moRecd")->trigger();
        QVERIFY(action("moRecd")->isChecked());
        bool stoppedFirst = false;
        expectStopBeforeBox(records, stoppedFirst);
        QTRY_VERIFY_WITH_TIMEOUT(!boxes->boxes.isEmpty(), 30000);
        QVERIFY(stoppedFirst);
        const QStringList files = records.at(0).at(0).toStringList();
        QCOMPARE(files.size(), 1);
        QCOMPARE(boxTexts(), QStringList(systemText("rec_cut").arg(files.at(0))));
        QVERIFY(!action("moRecd")->isChecked());
        QVERIFY(!view()->isRecordingIndicatorOn());
        QVERIFY(playableFrames(files.at(0)) > 0);
    }

    void assignedKeyboardKeyTakesASnapshot_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::newRow("normal view") << false;
        QTest::newRow("full screen") << true;
    }
    void assignedKeyboardKeyTakesASnapshot()
    {
        QFETCH(bool, fullScreen);
        AppSettings().setValue(QStringLiteral("BtnMgr/key2"), QStringLiteral("F5"));
        AppSettings().setValue(QStringLiteral("BtnMgr/key2cmd"), QStringLiteral("0"));
        open();
        showActive();
        if (fullScreen)
            action("mvFull")->trigger();
        QVERIFY(waitMore(frames, 2));
        QTest::keyClick(view(), Qt::Key_F5);
        QCOMPARE(captures().size(), 1);
    }

    void assignedKeyboardKeyTakesPrecedenceOverTheFocusedWidget()
    {
        // Space would freeze the picture; assigned, it records instead.
        AppSettings().setValue(QStringLiteral("BtnMgr/key1"), QStringLiteral("Space"));
        AppSettings().setValue(QStringLiteral("BtnMgr/key1cmd"), QStringLiteral("1"));
        open();
        showActive();
        QVERIFY(waitMore(frames, 2));
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(action("moRecd")->isChecked());
        QVERIFY(!action("moFrez")->isChecked());
    }

    void keyPressedInKeyControlIsKept()
    {
        open(nullptr, QByteArray());
        DlgBtnMgr dialog(window);
        QTest::keyClick(dialog.findChild<KeyCaptureEdit*>(QStringLiteral("edKey1")), Qt::Key_PageDown);
        dialog.findChild<QComboBox*>(QStringLiteral("cbKey1"))->setCurrentIndex(2);
        dialog.findChild<QPushButton*>(QStringLiteral("bnOK"))->click();
        QCOMPARE(AppSettings().value(QStringLiteral("BtnMgr/key1"), QString()), QStringLiteral("PgDown"));
        QCOMPARE(AppSettings().value(QStringLiteral("BtnMgr/key1cmd"), QString()), QStringLiteral("2"));
    }

    void keyControlShowsAnAssignedKeyByName()
    {
        AppSettings().setValue(QStringLiteral("BtnMgr/key2"), QStringLiteral("F7"));
        open(nullptr, QByteArray());
        DlgBtnMgr dialog(window);
        QCOMPARE(dialog.findChild<KeyCaptureEdit*>(QStringLiteral("edKey2"))->text(), QStringLiteral("F7"));
    }

    void clearedKeyIsNoLongerAssigned()
    {
        AppSettings().setValue(QStringLiteral("BtnMgr/key2"), QStringLiteral("F7"));
        open(nullptr, QByteArray());
        DlgBtnMgr dialog(window);
        dialog.findChild<QPushButton*>(QStringLiteral("bnClr2"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("bnOK"))->click();
        QCOMPARE(AppSettings().value(QStringLiteral("BtnMgr/key2"), QStringLiteral("?")), QString());
    }

    void keyTheWindowUsesIsRefusedInKeyControl_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("name");
        QTest::newRow("full screen") << int(Qt::Key_F12) << 0 << "F12";
        QTest::newRow("leave full screen") << int(Qt::Key_Escape) << 0 << "Esc";
        QTest::newRow("freeze") << int(Qt::Key_Space) << 0 << "Space";
        QTest::newRow("File menu") << int(Qt::Key_F) << int(Qt::AltModifier) << "Alt+F";
    }
    void keyTheWindowUsesIsRefusedInKeyControl()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, name);
        open(nullptr, QByteArray());
        DlgBtnMgr dialog(window);
        auto* field = dialog.findChild<KeyCaptureEdit*>(QStringLiteral("edKey1"));
        QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(boxTexts(), QStringList(systemText("key_used").arg(name)));
        QCOMPARE(field->key(), QKeySequence());
    }

    void exportTakesOneToFourExistingPicturesInPanelOrder()
    {
        QStringList pictures;
        QImage blue(320, 240, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        for (int i = 0; i < 6; ++i) {
            pictures << QDir::current().absoluteFilePath(QStringLiteral("p%1.bmp").arg(i));
            blue.save(pictures.last(), "BMP");
        }
        QWidget opener;
        open(&opener, {})->setAttribute(Qt::WA_DeleteOnClose);
        window->enterExamination(QStringLiteral("Anna"), pictures);
        window->show();
        const QList<SelectableImageWidget*> shown = panel();
        // An unchecked box still shows its picture in colour, not greyed out.
        const QImage drawn = shown.at(0)->grab().toImage();
        QCOMPARE(drawn.pixelColor(drawn.rect().center()), QColor(Qt::blue));

        // Only a picture whose file has gone is chosen: nothing to export.
        QPushButton* exportButton = window->findChild<QPushButton*>(QStringLiteral("bnExpt"));
        QSignalSpy reports(window, &FrmCamera::report);
        QFile::remove(pictures[5]);
        shown.at(5)->setChecked(true);
        QTest::mouseClick(exportButton, Qt::LeftButton);
        for (SelectableImageWidget* box : shown)
            box->setChecked(true);
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QCOMPARE(boxTexts(), QStringList({ systemText("sel_none"), systemText("sel_4_max") }));
        QVERIFY(window->isVisible());

        bool closedFirst = false;
        connect(window, &FrmCamera::report, this,
            [&] { closedFirst = !window->isVisible() && opener.isVisible(); });
        shown.at(1)->setChecked(false);
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QVERIFY(reports.size() == 1 && closedFirst);
        QCOMPARE(reports.at(0).at(0).toStringList(),
            QStringList({ pictures[0], pictures[2], pictures[3], pictures[4] }));
    }
};

KARVEX_TEST_MAIN(TestCameraWindow)
#include "TestCameraWindow.moc"
