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

namespace {

QString text(QWidget& dialog, const char* name)
{
    return dialog.findChild<QLabel*>(QLatin1String(name))->text();
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
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(!Language::instance()->text("DlgPatinfo", "rbFemale").isEmpty());
        QVERIFY(Database::instance());
    }

    void patientAgeSexAndExamineIdsOfTheDay()
    {
        // The service runs requests in order: these are rows 1 and 2 before the forms ask.
        Database::instance()->exec(
            "INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Anna','Berg',2,'2030/12/31'),"
            "('Carl','Berg',0,'unknown')",
            {}, nullptr, {});
        QDate today(2031, 1, 1);
        ReportClock::setSource([&today] { return today; });
        DlgExport anna, carl;
        anna.setInfo(1, {});
        carl.setInfo(2, {});
        QTRY_COMPARE(text(carl, "lvName"), QStringLiteral("Carl Berg"));
        QCOMPARE(text(anna, "lvName"), QStringLiteral("Anna Berg"));
        // Born the day before: a year counts as soon as the calendar year changed.
        QCOMPARE(text(anna, "lvAge"), QStringLiteral("1"));
        QCOMPARE(text(anna, "lvSexy"), Language::instance()->text("DlgPatinfo", "rbFemale"));
        QCOMPARE(text(anna, "lvDate"), QStringLiteral("2031/01/01"));
        QCOMPARE(text(carl, "lvAge"), QString()); // no age from a birthday that cannot be read
        // Every opening takes the next number of its day; a new day starts again at 1.
        QCOMPARE(
            text(anna, "lvExam") + ' ' + text(carl, "lvExam"), QStringLiteral("2031010100001 2031010100002"));
        today = today.addDays(1);
        DlgExport next;
        next.setInfo(0, {});
        QCOMPARE(text(next, "lvExam"), QStringLiteral("2031010200001"));
        ReportClock::setSource(nullptr);
    }

    void loadablePicturesFillTheLabelsInOrder()
    {
        const QString red = pictureFile("red.png", Qt::red), blue = pictureFile("blue.png", Qt::blue);
        QStringList shown;
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
    void saveAsPdf_data()
    {
        QTest::addColumn<int>("filled"); // findings, then the doctor
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("warning"); // System key, or empty when the file is written
        const auto row = [](const char* tag, int filled, const QString& path, const QString& warning) {
            QTest::newRow(tag) << filled << path << warning;
        };
        const QString pdf = QDir::current().absoluteFilePath("report.pdf");
        row("nothing filled in", 0, pdf, "inp_null");
        row("no doctor", 1, pdf, "inp_null");
        row("written", 2, pdf, "");
        row("folder missing", 2, QDir::current().absoluteFilePath("no/such/folder/report.pdf"), "not_found");
        row("disk full", 2, "/dev/full", "not_found");
    }
    void saveAsPdf()
    {
        QFETCH(int, filled);
        QFETCH(QString, path);
        QFETCH(QString, warning);
        MsgBoxRecorder boxes;
        DlgExport dlg;
        QString filter;
        DlgExport::setSaveFileAsker([&](QWidget* parent, const QString& asked) {
            filter = parent == &dlg ? asked : QStringLiteral("wrong parent");
            return path;
        });
        dlg.setInfo(0, {});
        dlg.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText(filled > 0 ? "Normal mucosa." : "");
        dlg.findChild<QLineEdit*>("leDoct")->setText(filled > 1 ? "Dr. Roth" : "");
        dlg.findChild<QPushButton*>("bnPreview")->click();
        DlgExport::setSaveFileAsker(nullptr);
        QCOMPARE(filter, filled == 2 ? QStringLiteral("PDF Files (*.pdf)") : QString());
        if (filled < 2)
            QCOMPARE(dlg.focusWidget()->objectName(), filled ? "leDoct" : "teJCSJ");
        QCOMPARE(boxes.boxes.size(), warning.isEmpty() ? 0 : 1);
        const QString text = Language::instance()->text("System", warning);
        QVERIFY(warning.isEmpty() || boxes.boxes[0].text == (filled == 2 ? text.arg(path) : text));
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-", warning.isEmpty());
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
        QVERIFY(dlg.isVisible() && dlg.focusWidget() == name);
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
