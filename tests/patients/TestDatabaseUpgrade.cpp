// A system.db written before this station knew Patient IDs, examinations and the archive:
// only the patient and record tables. Opening it adds the new tables beside them and keeps
// every row.
#include "PatientsSupport.h"
#include "TestSupport.h"

using namespace PatientsSupport;

class TestDatabaseUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            old.setDatabaseName(QStringLiteral("./system.db"));
            QVERIFY(old.open());
            QSqlQuery query(old);
            QVERIFY(query.exec(
                "CREATE TABLE user (fnam VARCHAR(32) NOT NULL, lnam VARCHAR(32) NOT NULL, sex "
                "SMALLINT NOT NULL DEFAULT 0, bday DATE NOT NULL, ctry TEXT, area TEXT, strt TEXT, "
                "pcod TEXT, rmrk TEXT)"));
            QVERIFY(
                query.exec("CREATE TABLE recd (uid BIGINT NOT NULL, fil VARCHAR(128) NOT NULL, dtm TIMESTAMP "
                           "NOT NULL, rmk TEXT)"));
            QVERIFY(query.exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Anna','Smith','1980/02/03'),"
                               "('Jürgen','Müller','1975/11/30')"));
            QVERIFY(query.exec("INSERT INTO recd (uid,fil,dtm) VALUES (1,'/a.jpg','2024/03/01 09:00:00'),"
                               "(2,'/b.mp4','2024/03/02 10:00:00'),(2,'/c.jpg','2024/03/02 10:05:00')"));
            old.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        QVERIFY(openDatabases());
        QVERIFY(settle());
    }

    void oldDatabaseGainsTheNewTables()
    {
        QCOMPARE(
            fields("SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type='table' "
                   "AND name NOT IN ('user','recd') ORDER BY name)"),
            QStringList { "exam,exam_series,patient_ident,recd_dicom" });
    }

    void oldDatabaseKeepsEveryPatient()
    {
        QCOMPARE(fields("SELECT group_concat(fnam || ' ' || lnam, ',') FROM user"),
            QStringList { "Anna Smith,Jürgen Müller" });
    }

    void oldDatabaseKeepsEveryRecord()
    {
        QCOMPARE(fields("SELECT group_concat(uid || fil, ',') FROM recd"),
            QStringList { "1/a.jpg,2/b.mp4,2/c.jpg" });
    }
};

KARVEX_TEST_MAIN(TestDatabaseUpgrade)
#include "TestDatabaseUpgrade.moc"
