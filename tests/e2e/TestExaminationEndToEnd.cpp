// A typical examination, start to finish, the way an operator does it: from the mode choice
// into the patient manager, a new patient, the camera opened from the patient's Record tab,
// three pictures and a short recording taken with the camera's own keys, two pictures
// ticked for the report, the report filled in and saved as PDF. Afterwards everything is
// checked the way a user would check it, with other tools.

#include "AppSettings.h"
#include "CamViewer.h"
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
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

using namespace E2e;

namespace {
const QString kFindings = QStringLiteral("Mucosa of the oesophagus smooth and pale pink, no erosions.");
const QString kDoctor = QStringLiteral("Dr. Jonas Weber");

void clickTab(QTabWidget* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}
} // namespace

class TestExaminationEndToEnd : public QObject
{
    Q_OBJECT

    QString pdfPath;
    qlonglong patient = 0;
    int frames = 0;

    // Waits until the camera view has shown `count` more pictures.
    bool waitForFrames(int count)
    {
        const int target = frames + count;
        return QTest::qWaitFor([&] { return frames >= target; }, 20000);
    }

    // Inside the patient dialog: the patient is created, examined and reported on.
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
        clickTab(tabs, 1);
        QCOMPARE(tabs->currentIndex(), 1);
        auto* records = child<QTableWidget>(dialog, "list");
        QCOMPARE(records->rowCount(), 0);

        click(child<QPushButton>(dialog, "bnNew"));
        QPointer<FrmCamera> camera = visibleWindow<FrmCamera>();
        QVERIFY(camera);
        QCOMPARE(child<QLabel>(camera, "lbName")->text(), QStringLiteral("MariaLindqvist"));
        camera->findChild<CamViewer*>()->setPresentHook([this](const AVFrame*) { ++frames; });
        QVERIFY2(waitForFrames(3), "the camera shows no picture");

        // Camera key 1 three times: three pictures, each boxed and filed as it is taken.
        for (int taken = 1; taken <= 3; ++taken) {
            pressCameraKey(1);
            QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), taken, 10000);
            QCOMPARE(camera->findChildren<SelectableImageWidget*>().size(), taken);
            QVERIFY(waitForFrames(1)); // an operator never presses faster than the picture changes
        }

        // Camera key 2 twice: a short recording, filed when it ends.
        QAction* record = child<QAction>(camera, "moRecd");
        pressCameraKey(2);
        QTRY_VERIFY(record->isChecked());
        QVERIFY(waitForFrames(45));
        pressCameraKey(2);
        QTRY_VERIFY(!record->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), 4, 10000);
        QCOMPARE(camera->findChildren<SelectableImageWidget*>().size(), 3);
        QStringList listed;
        for (int row = 0; row < records->rowCount(); ++row)
            listed << cellText(records, row, 1);
        QCOMPARE(listed.filter(QRegularExpression(QStringLiteral("^\\d{17}\\.bmp$"))).size(), 3);
        QCOMPARE(listed.filter(QRegularExpression(QStringLiteral("^\\d{14}\\.mp4$"))).size(), 1);

        // The first and the last picture go into the report.
        const QList<SelectableImageWidget*> boxes = camera->findChildren<SelectableImageWidget*>();
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

        // The camera is gone; the patient dialog is back with its four records.
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
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(cellText(list, 0, 4), QString());
        child<QAction>(manager, "mfRefr")->trigger();
        QCOMPARE(cellText(list, 0, 0), QStringLiteral("Maria"));
        QCOMPARE(cellText(list, 0, 2), QStringLiteral("1961/04/23"));
        QTRY_VERIFY(
            cellText(list, 0, 4).startsWith(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))));
        manager->close();
        QTRY_VERIFY(manager.isNull());
        QVERIFY(start.isVisible());
    }

    void databaseHoldsThePatientAndEveryCapture()
    {
        QSqlQuery user
            = sql(QStringLiteral("SELECT fnam,lnam,sex,bday,rmrk FROM user WHERE rowid=?"), { patient });
        QVERIFY(user.next());
        QCOMPARE(user.value(0).toString(), QStringLiteral("Maria"));
        QCOMPARE(user.value(1).toString(), QStringLiteral("Lindqvist"));
        QCOMPARE(user.value(2).toInt(), 1);
        QCOMPARE(user.value(3).toString(), QStringLiteral("1961/04/23"));
        QVERIFY(user.value(4).isNull());
        QCOMPARE(sqlValue(QStringLiteral("SELECT COUNT(*) FROM user")).toInt(), 1);

        QSqlQuery records = sql(QStringLiteral("SELECT uid,fil,dtm,rmk FROM recd ORDER BY rowid"));
        QStringList files;
        const QRegularExpression stamp(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
        while (records.next()) {
            QCOMPARE(records.value(0).toLongLong(), patient);
            QVERIFY2(
                QFileInfo(records.value(1).toString()).isAbsolute(), qPrintable(records.value(1).toString()));
            QVERIFY2(
                stamp.match(records.value(2).toString()).hasMatch(), qPrintable(records.value(2).toString()));
            QVERIFY(records.value(3).isNull());
            files << records.value(1).toString();
        }
        QCOMPARE(files.size(), 4);
        QCOMPARE(files.filter(QRegularExpression(QStringLiteral("\\.bmp$"))).size(), 3);
        QVERIFY(files.last().endsWith(QLatin1String(".mp4")));
        for (const QString& file : qAsConst(files))
            QCOMPARE(
                QFileInfo(file).absolutePath(), QDir::current().absoluteFilePath(QStringLiteral("Capture")));
    }

    void capturesPlayInFfmpeg()
    {
        const QFileInfoList pictures
            = QDir(QStringLiteral("Capture"))
                  .entryInfoList({ QStringLiteral("*.bmp") }, QDir::Files, QDir::Name);
        QStringList stills;
        for (const QFileInfo& file : pictures) {
            if (!file.fileName().endsWith(QLatin1String("-thumbnail.bmp")))
                stills << file.absoluteFilePath();
        }
        QCOMPARE(stills.size(), 3);
        for (const QString& still : qAsConst(stills)) {
            const Media media = probe(still);
            QVERIFY2(media.opened, qPrintable(still));
            QCOMPARE(QSize(media.width, media.height), QSize(1280, 720));
            QCOMPARE(media.decodedFrames, 1);
        }

        const QStringList videos = QDir(QStringLiteral("Capture")).entryList({ QStringLiteral("*.mp4") });
        QCOMPARE(videos.size(), 1);
        const QString video = QDir(QStringLiteral("Capture")).absoluteFilePath(videos.first());
        const Media recording = probe(video);
        QVERIFY(recording.opened);
        QCOMPARE(recording.codec, QStringLiteral("h264"));
        QCOMPARE(QSize(recording.width, recording.height), QSize(1280, 720));
        QVERIFY2(recording.decodedFrames >= 30, qPrintable(QString::number(recording.decodedFrames)));

        const Media thumbnail = probe(video + QStringLiteral("-thumbnail.bmp"));
        QVERIFY(thumbnail.opened);
        QCOMPARE(QSize(thumbnail.width, thumbnail.height), QSize(128, 72));
    }

    void reportIsOneA4PageWithNameFindingsAndTwoPictures()
    {
        int exitCode = -1;
        const QString info = runTool(QStringLiteral("pdfinfo"), { pdfPath }, &exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(
                     QStringLiteral("Page size:\\s+59[45](\\.\\d+)? x 84[12](\\.\\d+)? pts"))),
            qPrintable(info));

        const QString text = runTool(
            QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdfPath, QStringLiteral("-") });
        QVERIFY(text.contains(QStringLiteral("St. Anna Hospital")));
        QVERIFY(text.contains(QStringLiteral("Maria Lindqvist")));
        QVERIFY(text.simplified().contains(kFindings));
        QVERIFY(text.contains(kDoctor));

        const QStringList images = runTool(QStringLiteral("pdfimages"), { QStringLiteral("-list"), pdfPath })
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // Two header lines, then one line per image.
        QCOMPARE(images.size() - 2, 2);
    }
};

KARVEX_TEST_MAIN(TestExaminationEndToEnd)
#include "TestExaminationEndToEnd.moc"
