// A typical examination the way an operator does it: mode choice, patient manager, a new
// patient, the camera opened from the Record tab, three pictures and a short recording with
// the camera's own keys, two pictures ticked, the report saved as PDF. Afterwards it is
// checked with other tools: plain SQL, ffprobe, poppler.

#include "AppSettings.h"
#include "DlgExport.h"
#include "DlgPatinfo.h"
#include "DlgType.h"
#include "E2eSupport.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QAction>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

using namespace E2e;

namespace {
const QString kFindings = QStringLiteral("Mucosa of the oesophagus smooth and pale pink, no erosions.");
const QString kDoctor = QStringLiteral("Dr. Jonas Weber");
const QSize kCameraSize(1280, 720);
} // namespace

class TestExaminationEndToEnd : public QObject
{
    Q_OBJECT

    QString pdfPath;
    qlonglong patient = 0;

    // Inside the new patient's dialog: the patient is filed, examined and reported on.
    void examine(DlgPatinfo* dialog)
    {
        QTest::keyClicks(child<QLineEdit>(dialog, "leFName"), QStringLiteral("Maria"));
        QTest::keyClicks(child<QLineEdit>(dialog, "leLName"), QStringLiteral("Lindqvist"));
        child<QDateEdit>(dialog, "deBirthday")->setDate(QDate(1961, 4, 23));
        click(child<QRadioButton>(dialog, "rbFemale"));
        click(child<QPushButton>(dialog, "bnOK"));
        QTRY_VERIFY(dialog->patientRowID() != 0);
        patient = qlonglong(dialog->patientRowID());

        auto* tabs = child<QTabWidget>(dialog, "tabWidget");
        QTRY_VERIFY(tabs->isTabEnabled(1));
        QTest::mouseClick(
            tabs->tabBar(), Qt::LeftButton, Qt::NoModifier, tabs->tabBar()->tabRect(1).center());
        QCOMPARE(tabs->currentIndex(), 1);
        auto* records = child<QTableWidget>(dialog, "list");

        click(child<QPushButton>(dialog, "bnNew"));
        QPointer<FrmCamera> camera = visibleWindow<FrmCamera>();
        QVERIFY(camera);
        QCOMPARE(child<QLabel>(camera, "lbName")->text(), QStringLiteral("MariaLindqvist"));
        watchPictures(camera);
        QVERIFY2(waitForPictures(3), "the camera shows no picture");

        // Each picture is boxed and filed as it is taken; an operator never presses faster
        // than the picture changes.
        for (int taken = 1; taken <= 3; ++taken) {
            pressCameraKey(1);
            QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), taken, 10000);
            QCOMPARE(camera->findChildren<SelectableImageWidget*>().size(), taken);
            QVERIFY(waitForPictures(1));
        }
        QAction* record = child<QAction>(camera, "moRecd");
        pressCameraKey(2);
        QTRY_VERIFY(record->isChecked());
        QVERIFY(waitForPictures(45));
        pressCameraKey(2);
        QTRY_VERIFY(!record->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), 4, 10000);
        const QList<SelectableImageWidget*> boxes = camera->findChildren<SelectableImageWidget*>();
        QCOMPARE(boxes.size(), 3);
        clickTitleCheckBox(boxes.at(0));
        clickTitleCheckBox(boxes.at(2));
        QVERIFY(boxes.at(0)->isChecked() && !boxes.at(1)->isChecked() && boxes.at(2)->isChecked());

        bool reported = false;
        withModal<DlgExport>([&] { click(child<QPushButton>(camera, "bnExpt")); },
            [&](DlgExport* report) {
                QVERIFY(!camera || !camera->isVisible());
                QTRY_COMPARE(child<QLabel>(report, "lvName")->text(), QStringLiteral("Maria Lindqvist"));
                QTest::keyClicks(child<QLineEdit>(report, "leDepart"), QStringLiteral("Endoscopy"));
                QTest::keyClicks(child<QPlainTextEdit>(report, "teJCSJ"), kFindings);
                QTest::keyClicks(child<QLineEdit>(report, "leDoct"), kDoctor);
                click(child<QPushButton>(report, "bnPreview"));
                QVERIFY(QFileInfo(pdfPath).size() > 0);
                click(child<QPushButton>(report, "bnCancel"));
                reported = true;
            });
        QVERIFY(reported);
        // The camera is gone; the patient's dialog is back with its four records.
        QTRY_VERIFY(camera.isNull());
        QVERIFY(dialog->isVisible());
        QCOMPARE(records->rowCount(), 4);
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        AppSettings().setValue(QStringLiteral("Hospital/name"), QStringLiteral("St. Anna Hospital"));
        plugCamera("testsrc2=size=1280x720:rate=30,realtime");
        pdfPath = QDir::current().absoluteFilePath(QStringLiteral("report.pdf"));
        DlgExport::setSaveFileAsker([this](QWidget*, const QString&) { return pdfPath; });
    }

    void examinationFromModeChoiceToSavedReport()
    {
        MsgBoxRecorder boxes(QMessageBox::Ok);
        DlgType start;
        start.show();
        QVERIFY(QTest::qWaitForWindowExposed(&start));
        click(child<QPushButton>(&start, "bnPAT"));
        QPointer<FrmPatmgr> manager = visibleWindow<FrmPatmgr>();
        QVERIFY(manager);
        QVERIFY(!start.isVisible());

        bool examined = false;
        withModal<DlgPatinfo>([&] { click(child<QPushButton>(manager, "bnNew")); },
            [&](DlgPatinfo* dialog) {
                examine(dialog);
                examined = !QTest::currentTestFailed();
            });
        QVERIFY(examined);
        QVERIFY2(boxes.boxes.isEmpty(), "no message box belongs to a smooth examination");

        // After a refresh the manager lists the patient with the day of the examination.
        auto* list = child<QTableWidget>(manager, "list");
        child<QAction>(manager, "mfRefr")->trigger();
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(cellText(list, 0, 0), QStringLiteral("Maria"));
        QCOMPARE(cellText(list, 0, 2), QStringLiteral("1961/04/23"));
        QTRY_VERIFY(cellText(list, 0, 4).startsWith(QDate::currentDate().toString("yyyy/MM/dd")));
        manager->close();
        QTRY_VERIFY(manager.isNull());
        QVERIFY(start.isVisible());
    }

    void databaseHoldsThePatientAndEveryCapture()
    {
        QCOMPARE(
            sqlValue(
                "SELECT group_concat(fnam||'|'||lnam||'|'||sex||'|'||bday||'|'||ifnull(rmrk,'-')) FROM user")
                .toString(),
            QStringLiteral("Maria|Lindqvist|1|1961/04/23|-"));
        // Every capture filed for the patient, in order, with its full path in the capture
        // folder, the time it was taken, and no remark yet.
        const QString folder = QDir::current().absoluteFilePath(QStringLiteral("Capture/"));
        const QString stamp
            = QStringLiteral("[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]");
        QCOMPARE(sqlValue("SELECT group_concat(substr(fil,-3)) FROM (SELECT fil FROM recd WHERE uid=? AND "
                          "instr(fil,?)=1 "
                          "AND dtm GLOB ? AND rmk IS NULL ORDER BY rowid)",
                     { patient, folder, stamp })
                     .toString(),
            QStringLiteral("bmp,bmp,bmp,mp4"));
        QCOMPARE(sqlValue("SELECT COUNT(*) FROM recd").toInt(), 4);
    }

    void capturesPlayInFfmpeg()
    {
        const QDir capture(QStringLiteral("Capture"));
        const QStringList stills = capture.entryList({ "*.bmp" }).filter(QRegularExpression("^\\d+\\.bmp$"));
        QCOMPARE(stills.size(), 3);
        for (const QString& still : stills) {
            const Media media = probe(capture.absoluteFilePath(still));
            QCOMPARE(media.size, kCameraSize);
            QCOMPARE(media.frames, 1);
        }
        const QStringList videos = capture.entryList({ "*.mp4" });
        QCOMPARE(videos.size(), 1);
        const QString video = capture.absoluteFilePath(videos.first());
        const Media recording = probe(video);
        QCOMPARE(recording.codec, QStringLiteral("h264"));
        QCOMPARE(recording.size, kCameraSize);
        QVERIFY2(recording.frames >= 30, qPrintable(QString::number(recording.frames)));
        QCOMPARE(probe(video + QStringLiteral("-thumbnail.bmp")).size, QSize(128, 72));
    }

    void reportIsOneA4PageWithNameFindingsAndTwoPictures()
    {
        const QString info = runTool(QStringLiteral("pdfinfo"), { pdfPath });
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("Page size:\\s+59[45](\\.\\d+)? x 84[12](\\.\\d+)? pts")),
            qPrintable(info));
        const QString text = runTool(QStringLiteral("pdftotext"), { "-layout", pdfPath, "-" });
        for (const QString& shown :
            { QStringLiteral("St. Anna Hospital"), QStringLiteral("Maria Lindqvist"), kDoctor })
            QVERIFY2(text.contains(shown), qPrintable(shown));
        QVERIFY(text.simplified().contains(kFindings));
        // Two header lines, then one line per image.
        const QString images = runTool(QStringLiteral("pdfimages"), { "-list", pdfPath });
        QCOMPARE(images.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() - 2, 2);
    }
};

KARVEX_TEST_MAIN(TestExaminationEndToEnd)
#include "TestExaminationEndToEnd.moc"
