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
#include <QRegularExpression>

namespace {

QString pictureFile(const QString& name, QColor color)
{
    QImage image(160, 90, QImage::Format_RGB32);
    image.fill(color);
    const QString path = QDir::current().absoluteFilePath(name);
    image.save(path);
    return path;
}

QColor shownColor(QLabel* label)
{
    return label->pixmap(Qt::ReturnByValue).toImage().pixelColor(0, 0);
}

} // namespace

class TestReportDialog : public QObject
{
    Q_OBJECT

    qulonglong insertPatient(const QString& first, const QString& last, int sex, const QString& birthday)
    {
        qulonglong rowid = 0;
        bool done = false;
        QObject receiver;
        Database::instance()->exec("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,?,?)",
            { first, last, sex, birthday }, &receiver, [&](bool ok, DbResponser* r) {
                rowid = ok ? r->lastInsertId.toULongLong() : 0;
                done = true;
            });
        [&] { QTRY_VERIFY(done); }();
        return rowid;
    }

    template <typename T> static T* child(QObject& parent, const char* name)
    {
        T* widget = parent.findChild<T*>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }

    static QString text(DlgExport& dlg, const char* name) { return child<QLabel>(dlg, name)->text(); }

    static void complete(DlgExport& dlg)
    {
        child<QPlainTextEdit>(dlg, "teJCSJ")->setPlainText("Normal mucosa.");
        child<QLineEdit>(dlg, "leDoct")->setText("Dr. Roth");
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        Language::instance()->load(QDir::current().absoluteFilePath("language/en-US.ini"));
        QVERIFY(Database::instance());
    }

    void cleanup()
    {
        ReportClock::setSource(nullptr);
        DlgExport::setSaveFileAsker(nullptr);
    }

    void patientFieldsComeFromTheDatabase()
    {
        ReportClock::setSource([] { return QDate(2026, 1, 1); });
        // Born the day before: a year counts as soon as the calendar year changed.
        const qulonglong rowid = insertPatient("Anna", "Berg", 2, "2025/12/31");
        DlgExport dlg;
        dlg.setInfo(rowid, {});
        QTRY_COMPARE(text(dlg, "lvName"), QString("Anna Berg"));
        QCOMPARE(text(dlg, "lvAge"), QString("1"));
        const QString female = Language::instance()->text("DlgPatinfo", "rbFemale");
        QVERIFY(!female.isEmpty());
        QCOMPARE(text(dlg, "lvSexy"), female);
        QCOMPARE(text(dlg, "lvDate"), QString("2026/01/01"));

        DlgExport male;
        male.setInfo(insertPatient("Ben", "Berg", 0, "1980/06/30"), {});
        QTRY_COMPARE(text(male, "lvName"), QString("Ben Berg"));
        QCOMPARE(text(male, "lvSexy"), Language::instance()->text("DlgPatinfo", "rbMale"));
        QCOMPARE(text(male, "lvAge"), QString("46"));
    }

    void unknownPatientKeepsThePlaceholders()
    {
        DlgExport dlg;
        dlg.setInfo(987654321, {});
        // A later request on the same queue has been answered once this one's turn is over.
        insertPatient("Other", "Patient", 0, "1990/01/01");
        QCOMPARE(text(dlg, "lvName"), QString("xxx"));
        QCOMPARE(text(dlg, "lvSexy"), QString("Male"));
        QCOMPARE(text(dlg, "lvAge"), QString("30"));
    }

    void unreadableBirthdayGivesNoAge()
    {
        DlgExport dlg;
        dlg.setInfo(insertPatient("Carl", "Berg", 0, "unknown"), {});
        QTRY_COMPARE(text(dlg, "lvName"), QString("Carl Berg"));
        QCOMPARE(text(dlg, "lvAge"), QString());
    }

    void examineIdsCountPerDay()
    {
        QDate today(2031, 5, 6);
        ReportClock::setSource([&] { return today; });
        auto open = [] {
            DlgExport dlg;
            dlg.setInfo(0, {});
            return text(dlg, "lvExam");
        };
        QCOMPARE(open(), QString("2031050600001"));
        QCOMPARE(open(), QString("2031050600002"));
        today = today.addDays(1); // after midnight
        QCOMPARE(open(), QString("2031050700001"));
        QCOMPARE(open(), QString("2031050700002"));
    }

    void loadablePicturesFillTheLabelsWithoutGaps()
    {
        const QString red = pictureFile("red.png", Qt::red);
        const QString green = pictureFile("green.png", Qt::green);
        const QString blue = pictureFile("blue.png", Qt::blue);
        {
            DlgExport dlg;
            dlg.setInfo(0, { red, green, blue });
            QCOMPARE(shownColor(child<QLabel>(dlg, "lbPict1")), QColor(Qt::red));
            QCOMPARE(shownColor(child<QLabel>(dlg, "lbPict2")), QColor(Qt::green));
            QCOMPARE(shownColor(child<QLabel>(dlg, "lbPict3")), QColor(Qt::blue));
            QVERIFY(!child<QLabel>(dlg, "lbPict3")->isHidden());
            QVERIFY(child<QLabel>(dlg, "lbPict4")->isHidden());
        }
        {
            DlgExport dlg;
            dlg.setInfo(0, { red, TestSupport::writeFile("broken.bmp", "BM garbage"), blue });
            QCOMPARE(shownColor(child<QLabel>(dlg, "lbPict1")), QColor(Qt::red));
            QCOMPARE(shownColor(child<QLabel>(dlg, "lbPict2")), QColor(Qt::blue));
            QVERIFY(child<QLabel>(dlg, "lbPict3")->isHidden());
            QVERIFY(child<QLabel>(dlg, "lbPict4")->isHidden());
        }
    }

    void missingFindingsOrDoctorStopTheOutput_data()
    {
        QTest::addColumn<QString>("findings");
        QTest::addColumn<QString>("doctor");
        QTest::addColumn<QString>("focused");
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "teJCSJ";
        QTest::newRow("findings empty") << ""
                                        << "Dr. Roth"
                                        << "teJCSJ";
        QTest::newRow("doctor empty") << "Normal mucosa."
                                      << ""
                                      << "leDoct";
    }
    void missingFindingsOrDoctorStopTheOutput()
    {
        QFETCH(QString, findings);
        QFETCH(QString, doctor);
        QFETCH(QString, focused);
        MsgBoxRecorder boxes;
        int asked = 0;
        DlgExport::setSaveFileAsker([&](QWidget*, const QString&) {
            ++asked;
            return QString();
        });
        DlgExport dlg;
        dlg.setInfo(0, {});
        child<QPlainTextEdit>(dlg, "teJCSJ")->setPlainText(findings);
        child<QLineEdit>(dlg, "leDoct")->setText(doctor);
        child<QPushButton>(dlg, "bnPreview")->click();
        QCOMPARE(asked, 0);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].kind, MsgBox::Kind::Warning);
        QCOMPARE(boxes.boxes[0].text, Language::instance()->text("System", "inp_null"));
        QCOMPARE(dlg.focusWidget()->objectName(), focused);
    }

    void saveAsPdfWritesOneA4Page()
    {
        const QString out = QDir::current().absoluteFilePath("report.pdf");
        QWidget* askedParent = nullptr;
        QString askedFilter;
        DlgExport::setSaveFileAsker([&](QWidget* parent, const QString& filter) {
            askedParent = parent;
            askedFilter = filter;
            return out;
        });
        MsgBoxRecorder boxes;
        DlgExport dlg;
        dlg.setInfo(0, { pictureFile("one.png", Qt::darkRed), pictureFile("two.png", Qt::darkBlue) });
        complete(dlg);
        child<QPushButton>(dlg, "bnPreview")->click();
        QCOMPARE(askedParent, &dlg);
        QCOMPARE(askedFilter, QString("PDF Files (*.pdf)"));
        QVERIFY(boxes.boxes.isEmpty());

        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page/")
                + pdf.count("/Type /Page "),
            1);
        const auto box = QRegularExpression(R"(/MediaBox \[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])")
                             .match(QString::fromLatin1(pdf.constData(), pdf.size()));
        QVERIFY(box.hasMatch());
        // A4 is 210 x 297 mm: 595.28 x 841.89 points.
        QVERIFY(qAbs(box.captured(1).toDouble() - 595.28) < 0.5);
        QVERIFY(qAbs(box.captured(2).toDouble() - 841.89) < 0.5);
        QCOMPARE(pdf.count("/Subtype /Image"), 2);
    }

    void unwritablePdfFileIsReported_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("folder missing") << QDir::current().absoluteFilePath("no/such/folder/report.pdf");
        if (QFileInfo::exists("/dev/full"))
            QTest::newRow("disk full") << "/dev/full";
    }
    void unwritablePdfFileIsReported()
    {
        QFETCH(QString, path);
        MsgBoxRecorder boxes;
        DlgExport::setSaveFileAsker([&](QWidget*, const QString&) { return path; });
        DlgExport dlg;
        dlg.setInfo(0, {});
        complete(dlg);
        dlg.onPrintAsPDF();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].kind, MsgBox::Kind::Warning);
        QCOMPARE(boxes.boxes[0].title, Language::instance()->text("System", "hint"));
        // The warning names the file that could not be written.
        QCOMPARE(boxes.boxes[0].text, Language::instance()->text("System", "not_found").arg(path));
        QVERIFY(boxes.boxes[0].text.contains(path));
        QVERIFY(!QFileInfo(path).isFile());
    }

    void hospitalDialogRefusesAnEmptyName()
    {
        AppSettings().setValue("Hospital/name", "Old Name");
        MsgBoxRecorder boxes;
        DlgHospital dlg;
        auto* name = child<QLineEdit>(dlg, "leName");
        QCOMPARE(name->text(), QString("Old Name"));
        dlg.show();
        name->clear();
        child<QPushButton>(dlg, "bnOK")->click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, Language::instance()->text("System", "inp_null"));
        QCOMPARE(dlg.focusWidget(), name);
        QVERIFY(dlg.isVisible());
        QCOMPARE(AppSettings().value("Hospital/name", ""), QString("Old Name"));

        name->setText("New Name");
        child<QPushButton>(dlg, "bnOK")->click();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(AppSettings().value("Hospital/name", ""), QString("New Name"));
        DlgExport report;
        QCOMPARE(text(report, "lbHospital"), QString("New Name"));
    }
};

KARVEX_TEST_MAIN(TestReportDialog)
#include "TestReportDialog.moc"
