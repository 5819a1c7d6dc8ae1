// An examination end to end: the patient dialog opens the real camera window on a test
// picture source, and what is captured there is filed under the patient and listed.

#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "DlgPatinfo.h"
#include "FrmCamera.h"
#include "PatinfoSupport.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

using namespace PatinfoSupport;

namespace {
QTableWidget* listOf(DlgPatinfo& dialog)
{
    return dialog.findChild<QTableWidget*>(QStringLiteral("list"));
}

QString fileNameAt(DlgPatinfo& dialog, int row)
{
    return qobject_cast<QLabel*>(listOf(dialog)->cellWidget(row, 1))->text();
}

QImage thumbnailAt(DlgPatinfo& dialog, int row)
{
    return qobject_cast<QLabel*>(listOf(dialog)->cellWidget(row, 0))->pixmap(Qt::ReturnByValue).toImage();
}

FrmCamera* openCamera()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* camera = qobject_cast<FrmCamera*>(window); camera && camera->isVisible())
            return camera;
    return nullptr;
}

QAction* action(FrmCamera* camera, const char* name)
{
    return camera->findChild<QAction*>(QLatin1String(name));
}
} // namespace

class TestExamination : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
        // The hardware boundary: one supported camera whose stream is a lavfi test picture,
        // and plenty of free disk space.
        CameraDevices::setSource([] {
            return QList<CameraDevices::Device> { { QStringLiteral("/dev/video0"),
                QStringLiteral("ZEN-LUX HD") } };
        });
        CamGrabber::setInputResolver([](const QByteArray&) {
            return qMakePair(QByteArray("lavfi"), QByteArray("testsrc2=size=640x480:rate=30,realtime"));
        });
        DiskSpace::setSource([](const QString&) { return 100LL * 1024 * 1024 * 1024; });
    }

    void examinationFilesEveryCaptureUnderThePatient()
    {
        MsgBoxRecorder boxes(QMessageBox::Ok);
        const qlonglong patient = insertPatient(QStringLiteral("Ab"), QStringLiteral("Cd"));
        const QString earlier = writePicture(QStringLiteral("Capture/earlier.bmp"), { 64, 36 }, Qt::gray);
        insertRecord(patient, earlier);
        insertRecord(patient, TestSupport::writeFile(QStringLiteral("Capture/earlier.mp4"), "video"));
        insertRecord(patient, writePicture(QStringLiteral("Capture/scan.BMP"), { 64, 36 }, Qt::gray));
        DlgPatinfo dialog(nullptr);
        dialog.show();
        {
            QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
            dialog.setRowID(quint64(patient));
            QVERIFY(loaded.wait());
        }

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("bnNew")), Qt::LeftButton);
        QPointer<FrmCamera> camera = openCamera();
        QVERIFY(camera);
        QCOMPARE(camera->windowModality(), Qt::ApplicationModal);
        QVERIFY(camera->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(camera->findChild<QLabel*>(QStringLiteral("lbName"))->text(), QStringLiteral("AbCd"));
        // Only the patient's pictures go to the side panel.
        QStringList panel;
        const auto boxesShown = camera->findChildren<SelectableImageWidget*>();
        for (const SelectableImageWidget* box : boxesShown)
            panel << box->property("path").toString();
        QCOMPARE(panel, QStringList { earlier });

        CamViewer* view = camera->findChild<CamViewer*>();
        QVERIFY(view);
        int frames = 0;
        view->setPresentHook([&frames](const AVFrame*) { ++frames; });
        QVERIFY(QTest::qWaitFor([&] { return frames >= 3; }, 10000));

        // A snapshot.
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        action(camera, "moSnap")->trigger();
        QVERIFY(loaded.wait());
        QCOMPARE(listOf(dialog)->rowCount(), 4);
        QVERIFY(fileNameAt(dialog, 3).endsWith(QLatin1String(".bmp")));
        QCOMPARE(thumbnailAt(dialog, 3).size(), QSize(48, 27));

        // A recording started and stopped in the window: a video with its companion thumbnail.
        action(camera, "moRecd")->trigger();
        QVERIFY(action(camera, "moRecd")->isChecked());
        const int recordedFrom = frames;
        QVERIFY(QTest::qWaitFor([&] { return frames >= recordedFrom + 10; }, 10000));
        action(camera, "moRecd")->trigger();
        QTRY_COMPARE(listOf(dialog)->rowCount(), 5);
        QVERIFY(fileNameAt(dialog, 4).endsWith(QLatin1String(".mp4")));
        QCOMPARE(thumbnailAt(dialog, 4).size(), QSize(64, 48));

        // A recording long enough to roll over into a second segment, from the same live view
        // (the window's own segments last 20 minutes): every segment is filed.
        CamRecorder recorder(20);
        recorder.setSegmentMs(300);
        const QString base = FrmCamera::captureFolder(nullptr) + QStringLiteral("segments.mp4");
        QVERIFY(recorder.start(view, base));
        const int segmentsFrom = frames;
        QVERIFY(QTest::qWaitFor([&] { return frames >= segmentsFrom + 25; }, 10000));
        const QStringList segments = recorder.stop();
        QVERIFY2(segments.size() >= 2, qPrintable(segments.join(QLatin1Char(' '))));
        QMetaObject::invokeMethod(&dialog, "onRecord", Q_ARG(QStringList, segments));
        QTRY_COMPARE(listOf(dialog)->rowCount(), 5 + segments.size());
        for (int row = 5; row < listOf(dialog)->rowCount(); ++row) {
            QCOMPARE(fileNameAt(dialog, row), QFileInfo(segments.at(row - 5)).fileName());
            QCOMPARE(thumbnailAt(dialog, row).size(), QSize(64, 48));
        }
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM recd WHERE uid=?"), { patient }), 5 + segments.size());

        camera->close();
        QTRY_VERIFY(camera.isNull());
        QVERIFY(dialog.isVisible());
        QVERIFY(boxes.boxes.isEmpty());
    }
};

KARVEX_TEST_MAIN(TestExamination)
#include "TestExamination.moc"
