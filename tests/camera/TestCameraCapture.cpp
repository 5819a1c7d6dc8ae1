// Captures from the camera window: pictures, freeze, recordings, the disk and capture
// watch, and the side panel of an examination with its export.
#include "AppSettings.h"
#include "CamViewer.h"
#include "CameraRig.h"
#include "FakeHidapi.h"
#include "FrmCamera.h"
#include "Language.h"
#include "SelectableImageWidget.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr qint64 kLimit = 524288000;

QList<SelectableImageWidget*> boxes(FrmCamera* window)
{
    return window->findChild<QWidget*>(QStringLiteral("body"))
        ->findChildren<SelectableImageWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

QString writePicture(const QString& name, Qt::GlobalColor color)
{
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(color);
    const QString path = QDir::current().absoluteFilePath(name);
    picture.save(path, "BMP");
    return path;
}

bool matches(const QString& text, const char* pattern)
{
    return QRegularExpression(QLatin1String(pattern)).match(text).hasMatch();
}
} // namespace

class TestCameraCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { CameraRig::installLanguages(); }
    void init();

    void snapshotIsBoxedAndAnnouncedOnlyWithTheSidePanelShown();
    void freezeTakesExactlyOnePicture();
    void recordingStartAndStopAnnounceTheFiles();
    void recordingNeedsTheFreeSpaceLimit();
    void refusalIsReportedOnceWhileItsBoxIsOpen();
    void lowDiskWhileRecordingStopsFirstThenWarnsOnce();
    void grabErrorStopsRecordingThenWarns();
    void captureFolderFromSettings();
    void backWhileRecordingAnnouncesBeforeShowingOpener();
    void examinationShowsHeadingAndExistingPictures();
    void exportTakesOneToFourExistingPicturesInPanelOrder();
};

void TestCameraCapture::init()
{
    FakeHid::reset();
    QFile::remove(QStringLiteral("settings.ini"));
    Language::instance()->load(CameraRig::englishFile());
}

void TestCameraCapture::snapshotIsBoxedAndAnnouncedOnlyWithTheSidePanelShown()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    window->enterExamination(QStringLiteral("Anna"), {});
    window->show();
    QVERIFY(rig.waitForFrames());
    QSignalSpy snaps(window, &FrmCamera::snap);

    CameraRig::action(window, "moSnap")->trigger();
    QCOMPARE(snaps.size(), 1);
    const QString path = snaps.at(0).at(0).toString();
    QCOMPARE(CameraRig::captures(QStringLiteral("*")), QStringList(path));
    QVERIFY(matches(path, "/Capture/\\d{17}\\.bmp$"));
    QCOMPARE(QImage(path).size(), QSize(640, 480));
    QCOMPARE(boxes(window).size(), 1);
    SelectableImageWidget* box = boxes(window).constFirst();
    QCOMPARE(box->property("path").toString(), path);
    QVERIFY(box->isCheckable());
    QVERIFY(!box->isChecked());
    QCOMPARE(box->size(), QSize(162, 108));

    // In full screen the picture is written but neither boxed nor announced.
    CameraRig::action(window, "mvFull")->trigger();
    QVERIFY(rig.waitForFrames());
    CameraRig::action(window, "moSnap")->trigger();
    QCOMPARE(CameraRig::pictures().size(), 2);
    QCOMPARE(snaps.size(), 1);
    QCOMPARE(boxes(window).size(), 1);
}

void TestCameraCapture::freezeTakesExactlyOnePicture()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QAction* freeze = CameraRig::action(window, "moFrez");

    freeze->trigger();
    QVERIFY(CameraRig::view(window)->isFrozen());
    QCOMPARE(CameraRig::pictures().size(), 1);
    QVERIFY(rig.waitForFrames());
    freeze->trigger();
    QVERIFY(!CameraRig::view(window)->isFrozen());
    QCOMPARE(CameraRig::pictures().size(), 1);
}

void TestCameraCapture::recordingStartAndStopAnnounceTheFiles()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QSignalSpy records(window, &FrmCamera::record);
    QAction* recordAction = CameraRig::action(window, "moRecd");

    recordAction->trigger();
    QVERIFY(recordAction->isChecked());
    QVERIFY(CameraRig::view(window)->isRecordingIndicatorOn());
    QVERIFY(rig.waitForFrames(5));
    recordAction->trigger();
    QVERIFY(!recordAction->isChecked());
    QCOMPARE(records.size(), 1);
    const QStringList files = records.at(0).at(0).toStringList();
    QCOMPARE(files, CameraRig::recordings());
    QVERIFY(matches(files.value(0), "/Capture/\\d{14}\\.mp4$"));
    QVERIFY(QFileInfo(files.at(0)).size() > 0);
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestCameraCapture::recordingNeedsTheFreeSpaceLimit()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QAction* recordAction = CameraRig::action(window, "moRecd");

    rig.freeBytes = kLimit - 1;
    recordAction->trigger();
    QVERIFY(!recordAction->isChecked());
    QCOMPARE(rig.boxTexts(), QStringList(QStringLiteral("Not enough disk space to record")));
    QCOMPARE(rig.boxes.boxes.at(0).title, QStringLiteral("Hint"));
    QCOMPARE(rig.boxes.boxes.at(0).kind, MsgBox::Kind::Warning);
    QCOMPARE(rig.boxes.boxes.at(0).parent, window);
    QVERIFY(CameraRig::recordings().isEmpty());

    rig.freeBytes = kLimit;
    recordAction->trigger();
    QVERIFY(recordAction->isChecked());
    recordAction->trigger();
    QCOMPARE(CameraRig::recordings().size(), 1);
    QCOMPARE(rig.boxes.boxes.size(), 1);
}

void TestCameraCapture::refusalIsReportedOnceWhileItsBoxIsOpen()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    rig.freeBytes = kLimit - 1;
    // The box is modal and the disk watch keeps ticking meanwhile: a tick must not take
    // the refused recording for a running one and report a full disk on top.
    rig.boxes.onShow = [&](const MsgBoxRecorder::Box&) { QVERIFY(rig.waitForDiskTicks(1)); };
    CameraRig::action(window, "moRecd")->trigger();
    rig.boxes.onShow = nullptr;
    QCOMPARE(rig.boxTexts(), QStringList(QStringLiteral("Not enough disk space to record")));
}

void TestCameraCapture::lowDiskWhileRecordingStopsFirstThenWarnsOnce()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QSignalSpy records(window, &FrmCamera::record);
    QAction* recordAction = CameraRig::action(window, "moRecd");
    recordAction->trigger();
    QVERIFY(recordAction->isChecked());

    bool stoppedBeforeBox = false;
    rig.boxes.onShow = [&](const MsgBoxRecorder::Box&) {
        stoppedBeforeBox = !recordAction->isChecked() && records.size() == 1;
    };
    rig.freeBytes = kLimit - 1;
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QVERIFY(stoppedBeforeBox);
    QVERIFY(rig.waitForDiskTicks(2));
    QCOMPARE(rig.boxTexts(), QStringList(QStringLiteral("The disk is full")));
    QCOMPARE(records.size(), 1);
    QVERIFY(QFileInfo::exists(records.at(0).at(0).toStringList().value(0)));
}

void TestCameraCapture::grabErrorStopsRecordingThenWarns()
{
    CameraRig rig;
    rig.devices << CameraDevices::Device(QStringLiteral("/dev/video0"), QStringLiteral("TUBO-LUX"));
    // A source that ends behaves like a camera pulled out of its socket.
    rig.sources.insert("/dev/video0", "testsrc2=size=320x240:rate=30:duration=1");
    FrmCamera* window = rig.open();
    QSignalSpy records(window, &FrmCamera::record);
    QAction* recordAction = CameraRig::action(window, "moRecd");
    recordAction->trigger();
    QVERIFY(recordAction->isChecked());

    bool stoppedBeforeBox = false;
    rig.boxes.onShow = [&](const MsgBoxRecorder::Box&) {
        stoppedBeforeBox = !recordAction->isChecked() && records.size() == 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!rig.boxes.boxes.isEmpty(), 15000);
    QVERIFY(stoppedBeforeBox);
    QVERIFY(rig.waitForDiskTicks(2));
    QCOMPARE(rig.boxTexts(), QStringList(QStringLiteral("The camera stopped sending pictures")));
}

void TestCameraCapture::captureFolderFromSettings()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    const QString missing = QDir::current().absoluteFilePath(QStringLiteral("gone/"));
    AppSettings().setValue(QStringLiteral("SavePath/path"), missing);
    FrmCamera* window = rig.open();
    QVERIFY(rig.waitForFrames());
    QAction* recordAction = CameraRig::action(window, "moRecd");

    // A stored folder that does not exist is reported and not created; the disk watch
    // stays silent about it.
    CameraRig::action(window, "moSnap")->trigger();
    recordAction->trigger();
    QVERIFY(!recordAction->isChecked());
    QVERIFY(rig.waitForDiskTicks(1));
    QCOMPARE(rig.boxes.boxes.size(), 2);
    for (const MsgBoxRecorder::Box& box : qAsConst(rig.boxes.boxes)) {
        QCOMPARE(box.kind, MsgBox::Kind::Information);
        QCOMPARE(box.text, QStringLiteral("Cannot create the capture folder"));
    }
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(CameraRig::pictures().isEmpty());

    // A hand-edited folder without the trailing separator still receives the pictures.
    QDir().mkpath(QStringLiteral("pictures"));
    const QString folder = QDir::current().absoluteFilePath(QStringLiteral("pictures"));
    AppSettings().setValue(QStringLiteral("SavePath/path"), folder);
    CameraRig::action(window, "moSnap")->trigger();
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
}

void TestCameraCapture::backWhileRecordingAnnouncesBeforeShowingOpener()
{
    CameraRig rig;
    rig.plugDefaultCamera();
    QWidget opener;
    FrmCamera* window = rig.open(&opener);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->enterExamination(QStringLiteral("Anna"), {});
    window->show();
    QVERIFY(rig.waitForFrames());
    CameraRig::action(window, "moRecd")->trigger();

    bool openerHiddenAtRecord = false;
    connect(window, &FrmCamera::record, this, [&] { openerHiddenAtRecord = opener.isHidden(); });
    QSignalSpy records(window, &FrmCamera::record);
    QSignalSpy reports(window, &FrmCamera::report);
    window->findChild<QPushButton*>(QStringLiteral("bnBack"))->click();
    QCOMPARE(records.size(), 1);
    QVERIFY(openerHiddenAtRecord);
    QVERIFY(opener.isVisible());
    QCOMPARE(reports.size(), 0);
    QTRY_VERIFY(rig.window.isNull());
    QCOMPARE(CameraRig::recordings().size(), 1);
}

void TestCameraCapture::examinationShowsHeadingAndExistingPictures()
{
    CameraRig rig;
    const QString red = writePicture(QStringLiteral("red.bmp"), Qt::red);
    FrmCamera* window = rig.open();
    window->enterExamination(
        QStringLiteral("AnnaSmith"), { red, QString(), QStringLiteral("/nowhere/x.bmp") });
    window->show();
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lbName"))->text(), QStringLiteral("AnnaSmith"));
    // The empty path gives no box; a missing file an empty one.
    const QList<SelectableImageWidget*> shown = boxes(window);
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0)->imagePath(), red);
    QCOMPARE(shown.at(1)->property("path").toString(), QStringLiteral("/nowhere/x.bmp"));
    QVERIFY(shown.at(1)->findChild<QLabel*>()->pixmap().isNull());
    // An unchecked box still shows its picture in colour, not greyed out.
    const QImage drawn = shown.at(0)->grab().toImage();
    QCOMPARE(drawn.pixelColor(drawn.width() / 2, drawn.height() / 2), QColor(Qt::red));
}

void TestCameraCapture::exportTakesOneToFourExistingPicturesInPanelOrder()
{
    CameraRig rig;
    QStringList pictures;
    for (int i = 0; i < 6; ++i)
        pictures << writePicture(QStringLiteral("p%1.bmp").arg(i), Qt::blue);
    QWidget opener;
    FrmCamera* window = rig.open(&opener);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->enterExamination(QStringLiteral("Anna"), pictures);
    window->show();
    QPushButton* exportButton = window->findChild<QPushButton*>(QStringLiteral("bnExpt"));
    QSignalSpy reports(window, &FrmCamera::report);
    const QList<SelectableImageWidget*> shown = boxes(window);

    // Only a picture whose file has gone is chosen: nothing to export.
    QFile::remove(pictures[5]);
    shown.at(5)->setChecked(true);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(rig.boxTexts(), QStringList(QStringLiteral("Select a picture first")));

    for (SelectableImageWidget* box : shown)
        box->setChecked(true);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(rig.boxTexts().value(1), QStringLiteral("Select at most four pictures"));
    QVERIFY(window->isVisible());
    QCOMPARE(reports.size(), 0);

    bool closedAtReport = false;
    connect(window, &FrmCamera::report, this,
        [&] { closedAtReport = !window->isVisible() && opener.isVisible(); });
    shown.at(1)->setChecked(false);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).at(0).toStringList(),
        QStringList({ pictures[0], pictures[2], pictures[3], pictures[4] }));
    QVERIFY(closedAtReport);
    QCOMPARE(rig.boxes.boxes.size(), 2);
}

KARVEX_TEST_MAIN(TestCameraCapture)
#include "TestCameraCapture.moc"
