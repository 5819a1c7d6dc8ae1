// The report form and the hospital name dialog: what they fill in, what they refuse, and
// the PDF file that "Save As PDF" writes.
#include "AppSettings.h"
#include "Database.h"
#include "DlgExport.h"
#include "DlgHospital.h"
#include "Language.h"
#include "ReportClock.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <csignal>
#include <sys/resource.h>

namespace {

QString text(QWidget& dialog, const char* name)
{
    return dialog.findChild<QLabel*>(QLatin1String(name))->text();
}

// Adds a patient through the program's own database service and returns its row id.
qulonglong addPatient(const QString& first, const QString& last, int sex, const QString& birthday)
{
    qulonglong id = 0;
    QObject receiver;
    Database::instance()->exec("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,?,?)",
        { first, last, sex, birthday }, &receiver,
        [&id](bool ok, DbResponser* response) { id = ok ? response->lastInsertId.toULongLong() : 1; });
    return QTest::qWaitFor([&id] { return id != 0; }) ? id : 0;
}

// Opens the report for a stored patient and waits until it may be printed.
bool openReport(DlgExport& report, qulonglong patient, const QStringList& paths = {})
{
    report.setInfo(patient, paths);
    return QTest::qWaitFor([&report] { return report.findChild<QPushButton*>("bnPreview")->isEnabled(); });
}

void fillRequired(DlgExport& report)
{
    report.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText("Normal mucosa.");
    report.findChild<QLineEdit*>("leDoct")->setText("Dr. Roth");
}

QString pictureFile(const QString& name, QColor colour)
{
    QImage image(160, 90, QImage::Format_RGB32);
    image.fill(colour);
    image.save(name);
    return QDir::current().absoluteFilePath(name);
}

} // namespace

class TestReportDialog : public QObject
{
    Q_OBJECT

    static QString pdfPath() { return QDir::currentPath() + QStringLiteral("/report.pdf"); }
    // Opens a new patient's report, fills in the findings (filled >= 1) and the doctor
    // (filled = 2), and presses Preview, answering the save dialog with path.
    void preview(DlgExport& dlg, int filled, const QString& path)
    {
        QFile::remove(path);
        DlgExport::setSaveFileAsker([path](QWidget*, const QString&, const QString&) { return path; });
        QVERIFY(openReport(dlg, addPatient("Anna", "Berg", 0, "1990/01/01")));
        dlg.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText(filled > 0 ? "Normal mucosa." : "");
        dlg.findChild<QLineEdit*>("leDoct")->setText(filled > 1 ? "Dr. Roth" : "");
        dlg.findChild<QPushButton*>("bnPreview")->click();
        DlgExport::setSaveFileAsker(nullptr);
    }

    // Saves a report while the disk fills up, made by a file size limit of 4 KB.
    static void saveOnAFullDisk(const QString& pdf)
    {
        DlgExport report;
        QVERIFY(openReport(report, addPatient("Anna", "Berg", 1, "1990/01/01")));
        fillRequired(report);
        DlgExport::setSaveFileAsker([&](QWidget*, const QString&, const QString&) { return pdf; });
        rlimit previous {};
        getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit small { 4096, previous.rlim_max };
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        report.onPrintAsPDF();
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previousHandler);
        DlgExport::setSaveFileAsker(nullptr);
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(!Language::instance()->text("DlgPatinfo", "rbFemale").isEmpty());
        QVERIFY(Database::instance());
    }

    void ageCountsFullYearsToTheBirthday_data()
    {
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("age");
        QTest::newRow("before the birthday") << "2000/12/31" << QDate(2026, 12, 7) << "25";
        QTest::newRow("born in the future") << "2027/01/01" << QDate(2026, 12, 7) << "";
    }
    void ageCountsFullYearsToTheBirthday()
    {
        QFETCH(QString, birthday);
        QFETCH(QDate, today);
        QFETCH(QString, age);
        const qulonglong id = addPatient("Anna", "Berg", 0, birthday);
        ReportClock::setSource([today] { return today; });
        DlgExport report;
        QVERIFY(openReport(report, id));
        ReportClock::setSource(nullptr);
        QCOMPARE(text(report, "lvAge"), age);
    }

    // Nothing but settings.ini survives a restart of the program.
    void examineIdContinuesAfterARestart()
    {
        AppSettings().setValue("Report/lastExamId", "2031010100007");
        ReportClock::setSource([] { return QDate(2031, 1, 1); });
        DlgExport report;
        report.setInfo(0, {});
        ReportClock::setSource(nullptr);
        QCOMPARE(text(report, "lvExam"), QStringLiteral("2031010100008"));
    }

    void unreadablePatientWritesNoPdf()
    {
        MsgBoxRecorder boxes;
        DlgExport report;
        report.setInfo(999999, {});
        QTRY_COMPARE(boxes.boxes.size(), 1);
        fillRequired(report);
        const QString pdf = QDir::current().absoluteFilePath("unknown-patient.pdf");
        DlgExport::setSaveFileAsker([&](QWidget*, const QString&, const QString&) { return pdf; });
        report.onPrintAsPDF();
        DlgExport::setSaveFileAsker(nullptr);
        QVERIFY(!QFile::exists(pdf));
    }

    void loadablePicturesFillTheLabelsInOrder()
    {
        const QString red = pictureFile("red.png", Qt::red), blue = pictureFile("blue.png", Qt::blue);
        QStringList shown;
        MsgBoxRecorder boxes; // patient 0 does not exist
        for (const QStringList& paths : { QStringList { red, pictureFile("green.png", Qt::green), blue },
                 QStringList { red, TestSupport::writeFile("broken.bmp", "BM garbage"), blue } }) {
            DlgExport dlg;
            dlg.setInfo(0, paths);
            for (int i = 1; i <= 4; ++i) {
                auto* label = dlg.findChild<QLabel*>(QStringLiteral("lbPict%1").arg(i));
                shown << (label->isHidden()
                        ? "-"
                        : label->pixmap(Qt::ReturnByValue).toImage().pixelColor(0, 0).name());
            }
        }
        QCOMPARE(
            shown, QStringList({ "#ff0000", "#00ff00", "#0000ff", "-", "#ff0000", "#0000ff", "-", "-" }));
    }

    // Output waits for the findings, then the doctor; a PDF that cannot be written is reported
    // with its file name. The page itself is checked elsewhere.
    void reportWithMissingTextSaysAFieldIsEmpty_data()
    {
        QTest::addColumn<int>("filled"); // findings, then the doctor
        QTest::addColumn<QString>("focused");
        QTest::newRow("no doctor") << 1 << "leDoct";
    }
    void reportWithMissingTextSaysAFieldIsEmpty()
    {
        QFETCH(int, filled);
        MsgBoxRecorder boxes;
        DlgExport dlg;
        preview(dlg, filled, pdfPath());
        QCOMPARE(boxes.boxes.value(0).text,
            QStringLiteral("A required field is empty. Please fill it in and try again."));
    }

    void pdfInAMissingFolderIsReportedWithItsName()
    {
        MsgBoxRecorder boxes;
        DlgExport dlg;
        const QString path = QDir::currentPath() + QStringLiteral("/no/such/folder/report.pdf");
        preview(dlg, 2, path);
        QCOMPARE(boxes.boxes.value(0).text, Language::instance()->text("System", "not_found").arg(path));
    }

    void pdfNameIsSuggestedFromPatientAndDay()
    {
        AppSettings().remove("Report/pdfFolder");
        ReportClock::setSource([] { return QDate(2031, 12, 31); });
        DlgExport report;
        QVERIFY(openReport(report, addPatient("Anna", "Berg", 1, "1990/01/01")));
        fillRequired(report);
        QString suggested;
        DlgExport::setSaveFileAsker([&](QWidget*, const QString& offered, const QString&) {
            suggested = offered;
            return QString();
        });
        report.onPrintAsPDF();
        DlgExport::setSaveFileAsker(nullptr);
        ReportClock::setSource(nullptr);
        QCOMPARE(suggested, QStringLiteral("Berg_Anna_20311231.pdf"));
    }

    void typedNameWithoutSuffixIsSavedAsPdf()
    {
        DlgExport report;
        QVERIFY(openReport(report, addPatient("Anna", "Berg", 1, "1990/01/01")));
        fillRequired(report);
        const QString typed = QDir::current().absoluteFilePath("without-suffix");
        DlgExport::setSaveFileAsker([&](QWidget*, const QString&, const QString&) { return typed; });
        report.onPrintAsPDF();
        DlgExport::setSaveFileAsker(nullptr);
        QVERIFY(QFile::exists(typed + ".pdf"));
    }

    void failedWriteLeavesNoPartialFile()
    {
        MsgBoxRecorder boxes;
        const QString pdf = QDir::current().absoluteFilePath("disk-full.pdf");
        saveOnAFullDisk(pdf);
        QVERIFY(!QFile::exists(pdf));
    }

    void longHospitalNameNeedsNoSidewaysScrolling()
    {
        AppSettings().setValue("Hospital/name",
            "University Hospital of Internal Medicine, Gastroenterology and Endoscopy Centre "
            "Saint Mary and Saint Elisabeth of the Greater Metropolitan Region");
        DlgExport report;
        report.show();
        QVERIFY(QTest::qWaitForWindowExposed(&report));
        auto* scroll = report.findChild<QScrollArea*>("scrollArea");
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
    }

    void hospitalDialogRefusesAnEmptyName()
    {
        AppSettings().setValue("Hospital/name", "Old Name");
        MsgBoxRecorder boxes;
        DlgHospital dlg;
        dlg.show();
        auto* name = dlg.findChild<QLineEdit*>("leName");
        name->clear();
        dlg.findChild<QPushButton*>("bnOK")->click();
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.focusWidget(), name);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, Language::instance()->text("System", "inp_null"));
        QCOMPARE(AppSettings().value("Hospital/name", ""), QStringLiteral("Old Name"));
        name->setText("New Name");
        dlg.findChild<QPushButton*>("bnOK")->click();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(AppSettings().value("Hospital/name", ""), QStringLiteral("New Name"));
    }
};

KARVEX_TEST_MAIN(TestReportDialog)
#include "TestReportDialog.moc"
