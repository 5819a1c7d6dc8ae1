// What the patient windows add for the hospital's DICOM network, on a real system.db: the
// Patient ID in the form, the finder and the list; examinations that captures are filed in;
// admission from the worklist; the records' sending states and "Send to Archive".
#include "AppSettings.h"
#include "ArchiveQueue.h"
#include "DlgPatinfo.h"
#include "FrmPatmgr.h"
#include "PatientsSupport.h"
#include "TestSupport.h"
#include "WorklistAdmission.h"

#include <QtWidgets>

using namespace PatientsSupport;

namespace {

template <typename T = QWidget> T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

qlonglong insertPatient(const QString& first, const QString& last, const QString& pid = {})
{
    const qlonglong id = run("INSERT INTO user (fnam,lnam,bday) VALUES (?,?,'1980/02/03')", { first, last })
                             .lastInsertId()
                             .toLongLong();
    if (!pid.isEmpty())
        run("INSERT INTO patient_ident (uid,pid) VALUES (?,?)", { id, pid });
    return id;
}

qlonglong insertRecord(qlonglong patient, const QString& path)
{
    return run("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,'2024/03/01 09:00:00')", { patient, path })
        .lastInsertId()
        .toLongLong();
}

QLabel* stateLabel(QTableWidget* list, int row)
{
    return qobject_cast<QLabel*>(list->cellWidget(row, 4));
}

WorklistItem worklistItem(const QString& pid)
{
    WorklistItem item;
    item.patientName = QStringLiteral("Müller^Jürgen");
    item.patientId = pid;
    item.birthDate = QDate(1975, 11, 30);
    item.sex = QStringLiteral("M");
    item.studyInstanceUid = QStringLiteral("1.2.3.4.5");
    item.accessionNumber = QStringLiteral("ACC7");
    item.procedure = QStringLiteral("Gastroscopy");
    return item;
}

// The dialog an admission opened, once it shows its patient.
DlgPatinfo* admitted(QWidget* parent)
{
    DlgPatinfo* dialog = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (dialog = parent->findChild<DlgPatinfo*>()) && dialog->patientRowID(); }))
        return nullptr;
    return dialog;
}

} // namespace

class TestPatientDicom : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> parent;

    // A patient's dialog showing one record of each given sending state (empty: NULL).
    std::unique_ptr<DlgPatinfo> recordsWithStates(const QStringList& states, const QString& error = {})
    {
        const qlonglong patient = insertPatient("Ab", "Cd");
        const QString file = TestSupport::writeFile("Capture/a.jpg", "x");
        for (const QString& state : states) {
            const qlonglong rid = insertRecord(patient, file);
            if (!state.isEmpty())
                run("INSERT INTO recd_dicom (rid,state,error) VALUES (?,?,?)", { rid, state, error });
        }
        auto dialog = std::make_unique<DlgPatinfo>(nullptr);
        QSignalSpy loaded(dialog.get(), &DlgPatinfo::recordsLoaded);
        dialog->setRowID(quint64(patient));
        if (!loaded.wait())
            return nullptr;
        return dialog;
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
    }

    void init()
    {
        for (const char* table : { "recd_dicom", "exam", "exam_series", "patient_ident", "recd", "user" })
            run(QStringLiteral("DELETE FROM ") + QLatin1String(table));
        parent = std::make_unique<QWidget>();
    }

    void cleanup()
    {
        parent.reset();
        QVERIFY(settle());
    }

    void patientIdTypedInTheFormIsStored()
    {
        DlgPatinfo dialog(nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "leFName")->setText("Ab");
        child<QLineEdit>(&dialog, "leLName")->setText("Cd");
        child<QDateEdit>(&dialog, "deBirthday")->setDate(QDate(2001, 5, 17));
        child<QLineEdit>(&dialog, "lePid")->setText("PID-42");
        QTest::mouseClick(child<QPushButton>(&dialog, "bnOK"), Qt::LeftButton);
        QTRY_COMPARE(fields("SELECT u.fnam,p.pid FROM patient_ident p JOIN user u ON u.rowid=p.uid"),
            QStringList({ "Ab", "PID-42" }));
    }

    void emptiedPatientIdLeavesNoRow()
    {
        const qlonglong patient = insertPatient("Ab", "Cd", "PID-42");
        DlgPatinfo dialog(nullptr);
        dialog.show();
        dialog.setRowID(quint64(patient));
        QTRY_COMPARE(child<QLineEdit>(&dialog, "lePid")->text(), QStringLiteral("PID-42"));
        QTest::mouseClick(child<QPushButton>(&dialog, "bnModify"), Qt::LeftButton);
        child<QLineEdit>(&dialog, "lePid")->clear();
        QTest::mouseClick(child<QPushButton>(&dialog, "bnOK"), Qt::LeftButton);
        QTRY_COMPARE(fields("SELECT count(*) FROM patient_ident"), QStringList { "0" });
    }

    void finderFindsByPatientId_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("part of the ID") << "77" << QStringList { "Anna" };
        QTest::newRow("other letter case") << "ö-x" << QStringList { "Bob" };
        QTest::newRow("no such ID") << "99" << QStringList {};
    }
    void finderFindsByPatientId()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, found);
        insertPatient("Anna", "Smith", "A-7711");
        insertPatient("Bob", "Annan", "Ö-X3");
        insertPatient("Carl", "Jones");
        FrmPatmgr manager(nullptr);
        manager.show();
        auto* list = child<QTableWidget>(&manager, "list");
        QTRY_COMPARE(list->rowCount(), 3);
        child<QLineEdit>(&manager, "leID")->setText(typed);
        QTRY_COMPARE(list->rowCount(), found.size());
        QStringList names;
        for (int row = 0; row < list->rowCount(); ++row)
            names << list->item(row, 0)->text();
        QCOMPARE(names, found);
    }

    void managerListShowsThePatientId()
    {
        insertPatient("Anna", "Smith", "A-7711");
        FrmPatmgr manager(nullptr);
        manager.show();
        auto* list = child<QTableWidget>(&manager, "list");
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 5)->text(), QStringLiteral("A-7711"));
    }

    void deletedPatientTakesItsIdExaminationsAndSendingStates()
    {
        const qlonglong patient = insertPatient("joanna", "Smithers", "J-1");
        const qlonglong rid = insertRecord(patient, "/a.jpg");
        run("INSERT INTO exam (uid,day,study_uid,source) VALUES (?,'2024/03/01','9.9','local')", { patient });
        run("INSERT INTO recd_dicom (rid,exam,state) VALUES (?,1,'sent')", { rid });
        FrmPatmgr manager(nullptr);
        manager.show();
        auto* list = child<QTableWidget>(&manager, "list");
        QTRY_COMPARE(list->rowCount(), 1);
        list->selectRow(0);
        MsgBoxRecorder yes(QMessageBox::Yes);
        QTest::mouseClick(child<QPushButton>(&manager, "bnDelete"), Qt::LeftButton);
        QTRY_COMPARE(list->rowCount(), 0);
        QCOMPARE(fields("SELECT (SELECT count(*) FROM patient_ident)+(SELECT count(*) FROM exam)"
                        "+(SELECT count(*) FROM recd_dicom)"),
            QStringList { "0" });
    }

    void admissionFindsThePatientByPatientId()
    {
        const qlonglong known = insertPatient("Jürgen", "Müller", "W-1");
        WorklistAdmission::admit(worklistItem("W-1"), parent.get());
        DlgPatinfo* dialog = admitted(parent.get());
        QVERIFY(dialog);
        QCOMPARE(qlonglong(dialog->patientRowID()), known);
        QCOMPARE(fields("SELECT count(*) FROM user"), QStringList { "1" });
    }

    void sendToArchiveMarksTheSelectedRecordsWaiting()
    {
        // No archive is set up: the records stay waiting.
        auto dialog = recordsWithStates({ {}, {}, {} });
        QVERIFY(dialog);
        auto* list = child<QTableWidget>(dialog.get(), "list");
        list->selectionModel()->select(
            list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(
            list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        child<QAction>(dialog.get(), "mSend")->trigger();
        QTRY_COMPARE(fields("SELECT group_concat(IFNULL(d.state,'-'), ',') FROM recd r "
                            "LEFT JOIN recd_dicom d ON d.rid=r.rowid"),
            QStringList { "waiting,-,waiting" });
    }

    void sendingStateIsShown_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("never asked") << ""
                                     << "";
        QTest::newRow("waiting") << "waiting"
                                 << "Waiting";
        QTest::newRow("sent") << "sent"
                              << "Sent";
        QTest::newRow("failed") << "failed"
                                << "Failed";
    }
    void sendingStateIsShown()
    {
        QFETCH(QString, state);
        QFETCH(QString, text);
        auto dialog = recordsWithStates({ state });
        QVERIFY(dialog);
        QCOMPARE(stateLabel(child<QTableWidget>(dialog.get(), "list"), 0)->text(), text);
    }

    void failedRecordTellsTheReasonAsTooltip()
    {
        auto dialog = recordsWithStates({ "failed" }, "Association rejected");
        QVERIFY(dialog);
        QCOMPARE(stateLabel(child<QTableWidget>(dialog.get(), "list"), 0)->toolTip(),
            QStringLiteral("Association rejected"));
    }

    void unconvertibleRecordFailsWithTheReason()
    {
        {
            AppSettings settings;
            settings.setArchiveAeTitle("ARCHIVE");
            settings.setArchiveHost("127.0.0.1");
            settings.setArchivePort(1);
        }
        const qlonglong patient = insertPatient("Ab", "Cd");
        const qlonglong rid = insertRecord(patient, QDir::currentPath() + "/Capture/vanished.jpg");
        run("INSERT INTO exam (uid,day,study_uid,source) VALUES (?,'2024/03/01','9.9','local')", { patient });
        run("INSERT INTO recd_dicom (rid,exam,state) VALUES (?,(SELECT MAX(rowid) FROM exam),'waiting')",
            { rid });
        QSignalSpy changed(ArchiveQueue::instance(), &ArchiveQueue::statesChanged);
        ArchiveQueue::instance()->wake();
        QVERIFY(changed.wait(20000));
        QTRY_COMPARE(fields("SELECT state FROM recd_dicom"), QStringList { "failed" });
        QVERIFY(!fields("SELECT error FROM recd_dicom").value(0).isEmpty());
        AppSettings().setArchiveHost(QString());
    }
};

KARVEX_TEST_MAIN(TestPatientDicom)
#include "TestPatientDicom.moc"
