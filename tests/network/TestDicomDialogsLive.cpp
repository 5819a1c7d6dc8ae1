// The DICOM settings and worklist dialogs against a real Orthanc and a real wlmscpfs, started
// by the test on free local ports.
#include "AppSettings.h"
#include "DlgDicom.h"
#include "DlgWorklist.h"
#include "Language.h"
#include "OrthancServer.h"
#include "TestSupport.h"
#include "WorklistServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThreadPool>

namespace {

WorklistEntry scheduled(const QString& name, const QString& patientId, const QString& time)
{
    WorklistEntry entry;
    entry.patientName = name;
    entry.patientId = patientId;
    entry.issuerOfPatientId = QStringLiteral("CLINIC");
    entry.birthDate = QDate(1961, 2, 28);
    entry.sex = QStringLiteral("M");
    entry.accessionNumber = QStringLiteral("ACC-0815");
    entry.studyInstanceUid = QStringLiteral("2.25.123456789");
    entry.requestedProcedure = QStringLiteral("Laryngoscopy");
    entry.stationAeTitle = QStringLiteral("KARVEX");
    entry.modality = QStringLiteral("ES");
    entry.startDate = QDate::currentDate();
    entry.startTime = time;
    // wlmscpfs answered nothing for items without an issuer and a step description.
    entry.stepDescription = QStringLiteral("Step");
    return entry;
}

QString cellText(QTableWidget* list, int row, int column)
{
    QTableWidgetItem* item = list->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

class TestDicomDialogsLive : public QObject
{
    Q_OBJECT

    OrthancServer m_archive { QStringLiteral("ARCHIVE") };
    WorklistServer m_worklist { QStringLiteral("WORKLIST") };

    void setArchive(DlgDicom& dialog, const QString& aeTitle)
    {
        dialog.findChild<QLineEdit*>("leArcAet")->setText(aeTitle);
        dialog.findChild<QLineEdit*>("leArcHost")->setText("127.0.0.1");
        dialog.findChild<QLineEdit*>("leArcPort")->setText(QString::number(m_archive.dicomPort()));
    }

    // The worklist dialog once its query has come back.
    static QTableWidget* answeredList(DlgWorklist& dialog)
    {
        auto* busy = dialog.findChild<QProgressBar*>("pbBusy");
        return QTest::qWaitFor([busy] { return !busy->isVisible(); }, 20000)
            ? dialog.findChild<QTableWidget*>("list")
            : nullptr;
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QString error;
        QVERIFY2(m_archive.start(&error), qPrintable(error));
        QVERIFY2(m_worklist.start(&error), qPrintable(error));
        // Added out of time order: the dialog sorts them.
        QVERIFY(m_worklist.addEntry(scheduled(QStringLiteral("Later^Patient"), "KX-2", "141500")));
        QVERIFY(m_worklist.addEntry(scheduled(QStringLiteral("Müller^Jürgen"), "KX-4711", "093000")));
        AppSettings settings;
        settings.setWorklistAeTitle(m_worklist.aeTitle());
        settings.setWorklistHost(QStringLiteral("127.0.0.1"));
        settings.setWorklistPort(m_worklist.port());
    }

    void cleanup() { QThreadPool::globalInstance()->waitForDone(); }

    void testAgainstTheArchiveSaysConnected()
    {
        DlgDicom dialog;
        setArchive(dialog, m_archive.aeTitle());
        dialog.findChild<QPushButton*>("bnArcTest")->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            dialog.findChild<QLabel*>("lbArcResult")->text(), QStringLiteral("Connected"), 20000);
    }

    void testWithAWrongArchiveAeTitleNamesBothAeTitles()
    {
        DlgDicom dialog;
        setArchive(dialog, QStringLiteral("NOTTHEARCHIVE"));
        dialog.findChild<QPushButton*>("bnArcTest")->click();
        const QString expected = Language::systemText("dcm_notcon")
                                     .arg(Language::systemText("dcm_aet").arg("KARVEX", "NOTTHEARCHIVE"));
        QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>("lbArcResult")->text(), expected, 20000);
    }

    void worklistListsTodaysProcedureWithItsFields_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");
        QTest::newRow("time") << 0 << "09:30";
        QTest::newRow("patient name") << 1 << "Jürgen Müller";
        QTest::newRow("Patient ID") << 2 << "KX-4711";
        QTest::newRow("birthday") << 3 << "1961/02/28";
        QTest::newRow("sex") << 4 << "Male";
        QTest::newRow("procedure") << 5 << "Laryngoscopy";
        QTest::newRow("accession number") << 6 << "ACC-0815";
    }

    void worklistListsTodaysProcedureWithItsFields()
    {
        QFETCH(int, column);
        QFETCH(QString, shown);
        DlgWorklist dialog;
        dialog.show();
        QTableWidget* list = answeredList(dialog);
        QVERIFY(list);
        QCOMPARE(cellText(list, 0, column), shown);
    }

    void worklistIsSortedByTime()
    {
        DlgWorklist dialog;
        dialog.show();
        QTableWidget* list = answeredList(dialog);
        QVERIFY(list);
        QCOMPARE(cellText(list, 1, 2), QStringLiteral("KX-2"));
    }

    void okChoosesTheSelectedProcedureWithItsStudy()
    {
        DlgWorklist dialog;
        dialog.show();
        QVERIFY(answeredList(dialog));
        dialog.findChild<QPushButton*>("bnOK")->click();
        QCOMPARE(dialog.chosenItem().studyInstanceUid, QStringLiteral("2.25.123456789"));
    }
};

KARVEX_TEST_MAIN(TestDicomDialogsLive)
#include "TestDicomDialogsLive.moc"
