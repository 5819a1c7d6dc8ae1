// What the patient windows must never do with a patient's data: keep a value the operator
// removed, invent a birthday, delete on one keystroke, or lose a capture without a word.
// Real windows on a real system.db; the delete questions are answered on the real box.
#include "DlgPatinfo.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QtWidgets>

using namespace PatientsSupport;

namespace {

template <typename T = QWidget> T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

void click(QWidget* window, const char* button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

QString systemText(const char* key)
{
    return Language::instance()->text(QStringLiteral("System"), QLatin1String(key));
}

qlonglong insertPatient(const QString& first, const QString& last, const QString& birthday)
{
    return run("INSERT INTO user (fnam,lnam,bday,strt,pcod,area,ctry,rmrk) "
               "VALUES (?,?,?,'Main St 1','12345','Springfield','Utopia','allergic to latex')",
        { first, last, birthday })
        .lastInsertId()
        .toLongLong();
}

// Answers the next real question box by pressing Return, as a hurried operator would.
void pressReturnInNextBox()
{
    QTimer::singleShot(0, [] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
    });
}

// The service's own connection refuses every write, as a read-only system.db does.
void makeDatabaseReadOnly(bool readOnly)
{
    QSqlQuery(QSqlDatabase::database()).exec(readOnly ? "PRAGMA query_only=ON" : "PRAGMA query_only=OFF");
}

bool showRecords(DlgPatinfo& dialog, qlonglong patient)
{
    QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
    dialog.setRowID(quint64(patient));
    return loaded.wait();
}

} // namespace

class TestPatientData : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
    }

    void init()
    {
        run("DELETE FROM recd");
        run("DELETE FROM user");
    }

    void emptiedOptionalFieldIsStoredAsNull_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("column");
        QTest::newRow("street") << "leStreet"
                                << "strt";
    }
    void emptiedOptionalFieldIsStoredAsNull()
    {
        QFETCH(QString, field);
        QFETCH(QString, column);
        const qlonglong id = insertPatient("Anna", "Smith", "1980/02/03");
        DlgPatinfo dialog(nullptr);
        dialog.show();
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(child<QLineEdit>(&dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        click(&dialog, "bnModify");
        dialog.findChild<QLineEdit*>(field)->clear();
        click(&dialog, "bnOK");
        QTRY_COMPARE(fields("SELECT " + column + " FROM user"), QStringList { "NULL" });
    }

    void newPatientWithoutBirthdayIsNotSaved()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo dialog(nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "leFName")->setText("Anna");
        child<QLineEdit>(&dialog, "leLName")->setText("Smith");
        click(&dialog, "bnOK");
        QVERIFY(settle());
        QCOMPARE(fields("SELECT count(*) FROM user"), QStringList { "0" });
        QCOMPARE(boxes.boxes.value(0).text, systemText("inp_null"));
        QCOMPARE(dialog.focusWidget(), child(&dialog, "deBirthday"));
    }

    void birthdayInTheFutureIsRefused()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo dialog(nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "leFName")->setText("Anna");
        child<QLineEdit>(&dialog, "leLName")->setText("Smith");
        child<QDateEdit>(&dialog, "deBirthday")->setDate(QDate::currentDate().addDays(1));
        click(&dialog, "bnOK");
        QVERIFY(settle());
        QCOMPARE(fields("SELECT count(*) FROM user"), QStringList { "0" });
        QCOMPARE(boxes.boxes.value(0).text, systemText("bday_late"));
    }

    void unreadableStoredBirthdayShowsBlank()
    {
        const qlonglong known = insertPatient("Anna", "Smith", "1980/02/03");
        const qlonglong unknown = insertPatient("Bob", "Jones", "03.02.1980");
        DlgPatinfo dialog(nullptr);
        dialog.show();
        QVERIFY(showRecords(dialog, known));
        QVERIFY(showRecords(dialog, unknown));
        QCOMPARE(child<QDateEdit>(&dialog, "deBirthday")->text().trimmed(), QString());
    }

    void patientDeleteQuestionNamesThePatient()
    {
        insertPatient("Anna", "Smith", "1980/02/03");
        MsgBoxRecorder boxes(QMessageBox::No);
        FrmPatmgr manager(nullptr);
        auto* list = child<QTableWidget>(&manager, "list");
        QTRY_COMPARE(list->rowCount(), 1);
        list->selectRow(0);
        click(&manager, "bnDelete");
        QCOMPARE(boxes.boxes.value(0).text, systemText("del_patient").arg("Anna Smith"));
    }

    void returnInRecordDeleteQuestionKeepsTheFile()
    {
        const qlonglong id = insertPatient("Anna", "Smith", "1980/02/03");
        const QString video = TestSupport::writeFile("Capture/20240304050607.mp4", "video");
        run("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,'2024/03/04 05:06:07')", { id, video });
        DlgPatinfo dialog(nullptr);
        dialog.show();
        QVERIFY(showRecords(dialog, id));
        child<QTableWidget>(&dialog, "list")->setCurrentCell(0, 1);
        pressReturnInNextBox();
        child<QAction>(&dialog, "mDelete")->trigger();
        QVERIFY(settle());
        QVERIFY(QFile::exists(video));
    }

    void captureThatCannotBeFiledStaysOnDiskAndUnlisted()
    {
        const qlonglong id = insertPatient("Anna", "Smith", "1980/02/03");
        const QString picture = TestSupport::writeFile("Capture/20240304050607000.bmp", "BM");
        DlgPatinfo dialog(nullptr);
        dialog.show();
        QVERIFY(showRecords(dialog, id));
        MsgBoxRecorder boxes;
        makeDatabaseReadOnly(true);
        dialog.addList(picture);
        QTRY_COMPARE(boxes.boxes.size(), 1);
        makeDatabaseReadOnly(false);
        QVERIFY(showRecords(dialog, id));
        QCOMPARE(child<QTableWidget>(&dialog, "list")->rowCount(), 0);
        QVERIFY(QFile::exists(picture));
    }

    void finderIgnoresLetterCaseBeyondAscii_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found"); // last name of the one patient listed
        QTest::newRow("lower-case umlaut finds capital") << "leLN"
                                                         << "özdemir"
                                                         << "Özdemir";
        QTest::newRow("underscore still one letter") << "leLN"
                                                     << "m_ller"
                                                     << "MÜLLER";
    }
    void finderIgnoresLetterCaseBeyondAscii()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, found);
        run("INSERT INTO user (fnam,lnam,bday) VALUES "
            "('Ayşe','Özdemir','1980/01/01'),('Hans','MÜLLER','1970/01/01')");
        run("INSERT INTO user (fnam,lnam,bday,rmrk) VALUES ('élodie','Durand','1990/01/01','Latex: "
            "allergy')");
        FrmPatmgr manager(nullptr);
        auto* list = child<QTableWidget>(&manager, "list");
        QTRY_COMPARE(list->rowCount(), 3);
        manager.findChild<QLineEdit*>(field)->setText(typed); // keyClicks types ASCII only
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 1)->text(), found);
    }

    void failedPatientSaveSaysTheDatabaseCouldNotBeWritten()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo dialog(nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "leFName")->setText("Anna");
        child<QLineEdit>(&dialog, "leLName")->setText("Smith");
        child<QDateEdit>(&dialog, "deBirthday")->setDate(QDate(1980, 2, 3));
        makeDatabaseReadOnly(true);
        click(&dialog, "bnOK");
        QTRY_COMPARE(boxes.boxes.size(), 1);
        makeDatabaseReadOnly(false);
        QVERIFY(boxes.boxes.at(0).text.contains(QStringLiteral("readonly")));
    }
};

KARVEX_TEST_MAIN(TestPatientData)
#include "TestPatientData.moc"
