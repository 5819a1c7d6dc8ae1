// A real camera window on lavfi test pictures. Only the hardware boundary is scripted: the
// device list, the input behind each device key, the free disk space and the camera keys.
#include "AppSettings.h"
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "CameraPreferences.h"
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
    int frames = 0;
    QScopedPointer<MsgBoxRecorder> boxes;
    QPointer<FrmCamera> window;
    std::unique_ptr<FakeV4l2Camera> emulator;
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
    // The camera entries of the device menu.
    QList<QAction*> cameraActions() const
    {
        QList<QAction*> entries;
        for (QAction* a : window->findChild<QMenu*>(QStringLiteral("mCams"))->actions())
            if (a != action("mcRefr") && !a->isSeparator() && !a->menu())
                entries << a;
        return entries;
    }
    // The device keys of the camera entries, in menu order.
    QStringList cameraKeys() const
    {
        QStringList keys;
        for (QAction* a : cameraActions())
            keys << a->data().toString();
        return keys;
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
    // Blue pictures p0.bmp, p1.bmp, ... in the working folder, by absolute path.
    static QStringList writeBluePictures(int count)
    {
        QStringList pictures;
        QImage blue(320, 240, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        for (int i = 0; i < count; ++i) {
            pictures << QDir::current().absoluteFilePath(QStringLiteral("p%1.bmp").arg(i));
            blue.save(pictures.last(), "BMP");
        }
        return pictures;
    }
    // Shows the window and makes it the active one, as when the operator works in it.
    void showActive()
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // The default capture folder as the window names it in messages: "Capture/" in the
    // working folder.
    static QString defaultCaptureFolder() { return QDir::currentPath() + QStringLiteral("/Capture/"); }
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
        DiskSpace::setSource([this](const QString&) { return freeBytes; });
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
        smallDisk.reset();
    }

    void cameraMenuListsTheExaminationCamerasOnly()
    {
        devices = { { "/dev/video2", "ORA-LUX Pro" }, { "/dev/video1", "zen-lux (lower case)" },
            { "usb:3-1", "Endoscope TUBO-LUX" }, { "/dev/video5", "Laptop webcam" },
            // The same device name twice: the later description counts.
            { "/dev/video4", "ZEN-LUX HD" }, { "/dev/video4", "Capture card" } };
        open();
        QCOMPARE(cameraKeys(), QStringList({ "/dev/video0", "/dev/video2", "usb_3-1" }));
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

    void defaultsForgetsTheKeptValues()
    {
        plugEmulatedCamera();
        AppSettings().setCameraControl(kModel, kBrightness, 20);
        open(nullptr, QByteArray());
        inVideoControl(
            [](QDialog* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("bnDeft"))->click(); });
        QCOMPARE(AppSettings().cameraControls(kModel), (QMap<quint32, qint32> {}));
    }

    void keptValuesAfterARefusedOneStillApply()
    {
        plugEmulatedCamera();
        AppSettings().setCameraControl(kModel, kBrightness, 500);
        AppSettings().setCameraControl(kModel, kAutoExposure, 0); // "Manual Mode"
        open(nullptr, QByteArray());
        QCOMPARE(cameraControl(kAutoExposure), 0);
    }

    void f12LeavesFullScreen()
    {
        // F12 has to reach the view also while the menu bar (and its shortcut) is hidden.
        open()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        action("mvFull")->trigger();
        QTest::keyClick(view(), Qt::Key_F12);
        QVERIFY(!window->isFullScreen());
    }

    void freezingTakesOnePictureHoweverLongItLasts()
    {
        open()->show();
        QVERIFY(waitMore(frames, 2));
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(waitMore(frames, 2));
        QTest::keyClick(view(), Qt::Key_Space);
        QCOMPARE(captures().size(), 1);
    }

    void fullScreenSnapshotInAnExaminationIsFiledInTheHiddenSidePanel()
    {
        open()->enterExamination(QStringLiteral("Anna"), {});
        window->show();
        action("mvFull")->trigger();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy snaps(window.data(), &FrmCamera::snap);
        action("moSnap")->trigger();
        QCOMPARE(panel().size(), 1);
        QCOMPARE(panel().at(0)->property("path").toString(), snaps.value(0).value(0).toString());
    }

    void recordingsWithinOneSecondKeepEveryVideo()
    {
        open();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy records(window.data(), &FrmCamera::record);
        QStringList recorded;
        for (int i = 0; i < 3; ++i) {
            action("moRecd")->trigger();
            QVERIFY(waitMore(frames, 3));
            action("moRecd")->trigger();
            recorded += records.last().at(0).toStringList();
        }
        QCOMPARE(recorded, captures("*.mp4"));
    }

    void captureFolderWithoutTrailingSeparatorStillReceivesThePictures()
    {
        QDir().mkdir(QStringLiteral("pictures"));
        AppSettings().setValue(
            QStringLiteral("SavePath/path"), QDir::currentPath() + QStringLiteral("/pictures"));
        open();
        QVERIFY(waitMore(frames, 2));
        action("moSnap")->trigger();
        QCOMPARE(QDir(QStringLiteral("pictures")).entryList(QDir::Files).size(), 1);
    }

    void backStopsTheRecordingAndAnnouncesIt()
    {
        QWidget opener;
        open(&opener)->setAttribute(Qt::WA_DeleteOnClose);
        window->enterExamination(QStringLiteral("Anna"), {});
        window->show();
        QVERIFY(waitMore(frames, 2));
        QSignalSpy records(window.data(), &FrmCamera::record);
        action("moRecd")->trigger();
        window->findChild<QPushButton*>(QStringLiteral("bnBack"))->click();
        QCOMPARE(records.size(), 1);
    }

    void cameraThatCannotBeOpenedSaysWhyInTheView_data()
    {
        QTest::addColumn<QString>("failOpen");
        QTest::addColumn<QString>("shown");
        QTest::newRow("busy") << QStringLiteral("EBUSY") << "The camera is in use by another program.";
        QTest::newRow("node missing") << QStringLiteral("unplugged") << "The camera could not be opened.";
    }
    void cameraThatCannotBeOpenedSaysWhyInTheView()
    {
        QFETCH(QString, failOpen);
        QFETCH(QString, shown);
        plugEmulatedCamera(failOpen);
        open(nullptr, QByteArray());
        QCOMPARE(view()->message(), shown);
    }

    void snapshotWithoutPictureNamesTheFolderAndFilesNothing()
    {
        open(nullptr, QByteArray());
        window->enterExamination(QStringLiteral("Anna"), {});
        QSignalSpy snaps(window.data(), &FrmCamera::snap);
        action("moSnap")->trigger();
        QCOMPARE(boxTexts(), QStringList(systemText("cap_nopic").arg(defaultCaptureFolder())));
        QCOMPARE(snaps.size(), 0);
        QCOMPARE(panel().size(), 0);
        QCOMPARE(captures("*"), QStringList());
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

    void keyTheWindowUsesIsRefusedInKeyControl_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("name");
        QTest::newRow("freeze") << int(Qt::Key_Space) << 0 << "Space";
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

    void exportTakesTheCheckedExistingPicturesInPanelOrder()
    {
        const QStringList pictures = writeBluePictures(6);
        open(nullptr, {})->enterExamination(QStringLiteral("Anna"), pictures);
        QSignalSpy reports(window.data(), &FrmCamera::report);
        QFile::remove(pictures[5]);
        for (int i : { 5, 4, 3, 2, 0 })
            panel().at(i)->setChecked(true);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("bnExpt")), Qt::LeftButton);
        QCOMPARE(reports.value(0).value(0).toStringList(),
            QStringList({ pictures[0], pictures[2], pictures[3], pictures[4] }));
    }
};

KARVEX_TEST_MAIN(TestCameraWindow)
#include "TestCameraWindow.moc"
