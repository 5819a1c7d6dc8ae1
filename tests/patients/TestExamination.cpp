// An examination end to end: the patient dialog opens the real camera window on a test
// picture source, and what is captured there is filed under the patient and listed.

#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "FrmCamera.h"
#include "PatinfoSupport.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QTableWidget>

using namespace PatinfoSupport;

namespace {
// The file name and thumbnail size of every listed record.
QStringList listed(DlgPatinfo& dialog)
{
    auto* list = child<QTableWidget>(&dialog, "list");
    QStringList rows;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QSize size = qobject_cast<QLabel*>(list->cellWidget(row, 0))->pixmap(Qt::ReturnByValue).size();
        rows << QStringLiteral("%1 %2x%3")
                    .arg(qobject_cast<QLabel*>(list->cellWidget(row, 1))->text().section(QLatin1Char('.'), 1))
                    .arg(size.width())
                    .arg(size.height());
    }
    return rows;
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
        // The hardware boundary: one supported camera streaming a lavfi test picture, and
        // plenty of free disk space.
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
        QVERIFY(openPatient(dialog, patient));

        QTest::mouseClick(child(&dialog, "bnNew"), Qt::LeftButton);
        QPointer<FrmCamera> camera = qobject_cast<FrmCamera*>(QApplication::activeModalWidget());
        QVERIFY(camera && camera->isVisible());
        QCOMPARE(camera->windowModality(), Qt::ApplicationModal);
        QVERIFY(camera->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(child<QLabel>(camera, "lbName")->text(), QStringLiteral("AbCd"));
        // Only the patient's pictures go to the side panel.
        const auto panel = camera->findChildren<SelectableImageWidget*>();
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0)->property("path").toString(), earlier);

        auto* view = camera->findChild<CamViewer*>();
        int frames = 0;
        view->setPresentHook([&frames](const AVFrame*) { ++frames; });
        const auto waitFrames = [&frames](int more) {
            const int target = frames + more;
            return QTest::qWaitFor([&] { return frames >= target; }, 10000);
        };
        QVERIFY(waitFrames(3));

        const QStringList before = listed(dialog);
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        child<QAction>(camera, "moSnap")->trigger();
        QVERIFY(loaded.wait());
        QCOMPARE(listed(dialog), before + QStringList { "bmp 48x27" });

        // A recording in the window: a video whose companion is a tenth of the picture.
        child<QAction>(camera, "moRecd")->trigger();
        QVERIFY(child<QAction>(camera, "moRecd")->isChecked());
        QVERIFY(waitFrames(10));
        child<QAction>(camera, "moRecd")->trigger();
        QTRY_COMPARE(listed(dialog), before + QStringList({ "bmp 48x27", "mp4 64x48" }));

        // A recording that rolls over into further segments: every segment is filed.
        camera->setSegmentMs(300);
        QSignalSpy recorded(camera.data(), &FrmCamera::record);
        child<QAction>(camera, "moRecd")->trigger();
        QVERIFY(waitFrames(25));
        child<QAction>(camera, "moRecd")->trigger();
        QCOMPARE(recorded.size(), 1);
        const QStringList segments = recorded.at(0).at(0).toStringList();
        QVERIFY(segments.size() >= 2);
        QTRY_COMPARE(listed(dialog).size(), before.size() + 2 + segments.size());
        const QStringList filed = listed(dialog).mid(before.size() + 2);
        for (const QString& video : filed)
            QCOMPARE(video, QStringLiteral("mp4 64x48"));

        camera->close();
        QTRY_VERIFY(camera.isNull());
        QVERIFY(dialog.isVisible());
        QVERIFY(boxes.boxes.isEmpty());
    }
};

KARVEX_TEST_MAIN(TestExamination)
#include "TestExamination.moc"
