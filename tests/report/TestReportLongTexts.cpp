// Long texts on the report page, read back from the real PDF file: every character the
// operator typed is on the page, no text is printed over another, and a report that cannot
// hold its texts is refused with the field named before anything is written.
#include "Database.h"
#include "DlgExport.h"
#include "Language.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

namespace {

// Words no ligature or hyphenation can change: "<tag>001 <tag>002 ...".
QString words(const QString& tag, int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << tag + QString::asprintf("%03d", i);
    return list.join(QLatin1Char(' '));
}

QString withoutSpaces(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

QString pdftotext(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), arguments);
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// The page's text in the order it was drawn.
QString pageText(const QString& pdf)
{
    return pdftotext({ QStringLiteral("-raw"), pdf, QStringLiteral("-") });
}

// The box of every word on the page, in points.
QList<QRectF> wordBoxes(const QString& pdf)
{
    QList<QRectF> boxes;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\""));
    auto it = word.globalMatch(pdftotext({ QStringLiteral("-bbox"), pdf, QStringLiteral("-") }));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        boxes << QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    return boxes;
}

qulonglong addPatient()
{
    qulonglong id = 0;
    QObject receiver;
    Database::instance()->exec("INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Anna','Berg',1,'1990/01/01')",
        {}, &receiver,
        [&id](bool ok, DbResponser* response) { id = ok ? response->lastInsertId.toULongLong() : 1; });
    return QTest::qWaitFor([&id] { return id != 0; }) ? id : 0;
}

// A report for a stored patient with the required fields filled, ready for output.
bool openReport(DlgExport& report)
{
    report.setInfo(addPatient(), {});
    if (!QTest::qWaitFor([&report] { return report.findChild<QPushButton*>("bnPreview")->isEnabled(); }))
        return false;
    report.findChild<QPlainTextEdit*>("teJCSJ")->setPlainText("Normal mucosa.");
    report.findChild<QLineEdit*>("leDoct")->setText("Dr. Roth");
    return true;
}

void setText(DlgExport& report, const QString& widget, const QString& text)
{
    QWidget* field = report.findChild<QWidget*>(widget);
    if (auto* line = qobject_cast<QLineEdit*>(field))
        line->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(field))
        label->setText(text);
    else
        qobject_cast<QPlainTextEdit*>(field)->setPlainText(text);
}

QString savePdf(DlgExport& report, const QString& name)
{
    const QString path = QDir::current().absoluteFilePath(name);
    DlgExport::setSaveFileAsker([path](QWidget*, const QString&, const QString&) { return path; });
    report.onPrintAsPDF();
    DlgExport::setSaveFileAsker(nullptr);
    return path;
}

const char* const allFields[] = { "lbHospital", "leDepart", "lvName", "leA_ID", "leBeid", "leDiag", "leDept",
    "leDevc", "leSymp", "teJCSJ", "leBLZD", "leHJBW", "leSugg", "leDoct" };

} // namespace

class TestReportLongTexts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(Database::instance());
    }

    void longTextIsPrintedInFull_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("count"); // words
        QTest::newRow("hospital name") << "lbHospital" << 40;
        QTest::newRow("diagnosis across the page") << "leDiag" << 60;
        QTest::newRow("findings beyond the box") << "teJCSJ" << 900;
        QTest::newRow("one word wider than the page") << "leDiag" << -1;
    }
    void longTextIsPrintedInFull()
    {
        QFETCH(QString, field);
        QFETCH(int, count);
        const QString text = count > 0 ? words("x", count) : QStringLiteral("y").repeated(400);
        DlgExport report;
        QVERIFY(openReport(report));
        setText(report, field, text);
        const QString pdf = savePdf(report, field + ".pdf");
        QVERIFY(withoutSpaces(pageText(pdf)).contains(withoutSpaces(text)));
    }

    void everyFieldLongAtOnceIsPrintedInFull()
    {
        MsgBoxRecorder boxes;
        DlgExport report;
        QVERIFY(openReport(report));
        for (const char* field : allFields)
            setText(report, field, words(QLatin1String(field), 15));
        const QString text = withoutSpaces(pageText(savePdf(report, "all.pdf")));
        for (const char* field : allFields)
            QVERIFY2(text.contains(withoutSpaces(words(QLatin1String(field), 15))), field);
    }

    void longTextsAreNeverPrintedOverEachOther()
    {
        MsgBoxRecorder boxes;
        DlgExport report;
        QVERIFY(openReport(report));
        for (const char* field : allFields)
            setText(report, field, words(QLatin1String(field), 15));
        const QList<QRectF> words_ = wordBoxes(savePdf(report, "overprint.pdf"));
        QVERIFY(words_.size() > 200);
        // Neighbouring lines may touch; a real overprint overlaps by far more than a point.
        for (int i = 0; i < words_.size(); ++i) {
            for (int j = i + 1; j < words_.size(); ++j) {
                const QRectF overlap = words_[i].intersected(words_[j]);
                QVERIFY2(qMin(overlap.width(), overlap.height()) < 1,
                    qPrintable(QString::asprintf("words %d and %d overlap", i, j)));
            }
        }
    }

    void reportTooLongForThePageNamesTheField()
    {
        MsgBoxRecorder boxes;
        DlgExport report;
        QVERIFY(openReport(report));
        setText(report, "teJCSJ", words("z", 6000));
        savePdf(report, "toolong.pdf");
        const QString findings = Language::instance()->text("DlgExport", "lbJCSJ").chopped(1);
        QCOMPARE(boxes.boxes.value(0).text, Language::instance()->text("System", "too_long").arg(findings));
    }

    void reportTooLongForThePageWritesNoFile()
    {
        MsgBoxRecorder boxes;
        DlgExport report;
        QVERIFY(openReport(report));
        setText(report, "teJCSJ", words("z", 6000));
        QVERIFY(!QFile::exists(savePdf(report, "toolong.pdf")));
    }
};

KARVEX_TEST_MAIN(TestReportLongTexts)
#include "TestReportLongTexts.moc"
