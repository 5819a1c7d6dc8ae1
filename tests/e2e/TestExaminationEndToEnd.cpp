// A typical examination the way an operator does it: mode choice, patient manager, a new
// patient, the camera opened from the Record tab, three pictures and a short recording with
// the camera's own keys, two pictures ticked, the report saved as PDF. Afterwards it is
// checked with other tools: plain SQL, ffprobe, poppler.

#include "E2eSupport.h"

using namespace E2e;

namespace {
const QString kFindings = QStringLiteral("Mucosa of the oesophagus smooth and pale pink, no erosions.");
const QString kDoctor = QStringLiteral("Dr. Jonas Weber");

// Whether a window, perhaps deleted already, is on screen.
bool onScreen(const QWidget* window)
{
    return window != nullptr && window->isVisible();
}
} // namespace

class TestExaminationEndToEnd : public QObject
{
    Q_OBJECT

    QString pdfPath;

    // Inside the new patient's dialog: the patient is filed, examined and reported on.
    void examine(DlgPatinfo* dialog)
    {
        QTest::keyClicks(child<QLineEdit>(dialog, "leFName"), QStringLiteral("Maria"));
        QTest::keyClicks(child<QLineEdit>(dialog, "leLName"), QStringLiteral("Lindqvist"));
        child<QDateEdit>(dialog, "deBirthday")->setDate(QDate(1961, 4, 23));
        click(child<QRadioButton>(dialog, "rbFemale"));
        click(child<QPushButton>(dialog, "bnOK"));
        QTRY_VERIFY(dialog->patientRowID() != 0);

        auto* tabs = child<QTabWidget>(dialog, "tabWidget");
        QTRY_VERIFY(tabs->isTabEnabled(1));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
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
        QTest::keyClick(boxes.at(0), Qt::Key_Space);
        QTest::keyClick(boxes.at(2), Qt::Key_Space);

        withModal<DlgExport>([&] { click(child<QPushButton>(camera, "bnExpt")); },
            [&](DlgExport* report) {
                QVERIFY(!onScreen(camera));
                QTRY_COMPARE(child<QLabel>(report, "lvName")->text(), QStringLiteral("Maria Lindqvist"));
                QTest::keyClicks(child<QLineEdit>(report, "leDepart"), QStringLiteral("Endoscopy"));
                QTest::keyClicks(child<QPlainTextEdit>(report, "teJCSJ"), kFindings);
                QTest::keyClicks(child<QLineEdit>(report, "leDoct"), kDoctor);
                click(child<QPushButton>(report, "bnPreview"));
                click(child<QPushButton>(report, "bnCancel"));
            });
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
        DlgExport::setSaveFileAsker([this](QWidget*, const QString&, const QString&) { return pdfPath; });
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

        withModal<DlgPatinfo>([&] { click(child<QPushButton>(manager, "bnNew")); },
            [&](DlgPatinfo* dialog) { examine(dialog); });
        QVERIFY2(boxes.boxes.isEmpty(), "no message box belongs to a smooth examination");

        // After a refresh the manager lists the patient with the day of the examination.
        auto* list = child<QTableWidget>(manager, "list");
        child<QAction>(manager, "mfRefr")->trigger();
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("Maria"));
        QTRY_VERIFY(list->item(0, 4)->text().startsWith(QDate::currentDate().toString("yyyy/MM/dd")));
        manager->close();
        QTRY_VERIFY(manager.isNull());
        QVERIFY(start.isVisible());
    }

    // The database, the captures and the report as other tools read them.
    void filesReadBackInOtherTools()
    {
        const QString user
            = sqlValue("SELECT group_concat(fnam||' '||lnam||' '||sex||' '||bday||' '||ifnull(rmrk,'-')) "
                       "FROM user")
                  .toString();
        QCOMPARE(user, QStringLiteral("Maria Lindqvist 1 1961/04/23 -"));
        // Every capture filed for the patient in the order taken, as a full path into the
        // capture folder, with the time it was taken and no remark yet.
        const QString filed = sqlValue("SELECT group_concat(substr(fil,-3)) FROM recd WHERE uid=(SELECT "
                                       "rowid FROM user) AND instr(fil,?)=1 "
                                       "AND dtm LIKE '____/__/__ __:__:__' AND rmk IS NULL",
            { QDir::current().absoluteFilePath(QStringLiteral("Capture/")) })
                                  .toString();
        QCOMPARE(filed, QStringLiteral("bmp,bmp,bmp,mp4"));
        QCOMPARE(sqlValue("SELECT COUNT(*) FROM recd").toInt(), 4);

        const QDir capture(QStringLiteral("Capture"));
        const QStringList stills = capture.entryList({ "*.bmp" }).filter(QRegularExpression("^\\d+\\.bmp$"));
        QCOMPARE(stills.size(), 3);
        for (const QString& still : stills)
            QCOMPARE(probe(capture.absoluteFilePath(still)), QStringLiteral("bmp,1280,720,1"));
        QCOMPARE(capture.entryList({ "*.mp4" }).size(), 1);
        const QString video = capture.absoluteFilePath(capture.entryList({ "*.mp4" }).first());
        const QString recording = probe(video);
        QVERIFY2(recording.startsWith("h264,1280,720,"), qPrintable(recording));
        QVERIFY2(framesOf(recording) >= 30, qPrintable(recording));
        QCOMPARE(probe(video + QStringLiteral("-thumbnail.bmp")), QStringLiteral("bmp,128,72,1"));

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
