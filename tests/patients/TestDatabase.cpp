#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QPointer>
#include <QProcess>

using namespace PatientsSupport;

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    // The service is created once per process and retried until it opens. What the operator
    // is told about an unusable file is the manager's part; here: no service on a folder, and
    // the next attempt opens the good file that an earlier program start has made meanwhile.
    void unusableFileIsRefusedAndALaterStartKeepsTheJoinedSchemaAndEveryRow()
    {
        QVERIFY(QDir().mkdir("system.db"));
        QVERIFY(!Database::instance());
        QVERIFY(QDir().rmdir("system.db"));
        QCOMPARE(QProcess::execute(KARVEX_DBSTART,
                     { QDir::currentPath(),
                         "INSERT INTO user (fnam,lnam,bday) VALUES ('Ann','Archer','1980/02/03')" }),
            0);
        QVERIFY(openDatabases());
        QCOMPARE(fields("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master ORDER BY rowid)"),
            QStringList {
                "CREATE TABLE user (    fnam    VARCHAR(32)     NOT NULL,    lnam    VARCHAR(32)"
                "     NOT NULL,    sex     SMALLINT        NOT NULL    DEFAULT 0,    bday    DATE"
                "            NOT NULL,    ctry    TEXT,    area    TEXT,    strt    TEXT,    pcod"
                "    TEXT,    rmrk    TEXT);CREATE TABLE recd (    uid     BIGINT          NOT NULL,"
                "    fil     VARCHAR(128)    NOT NULL,    dtm     TIMESTAMP       NOT NULL,    rmk"
                "     TEXT);CREATE INDEX recd_uid ON recd(uid)" });
        QCOMPARE(fields("SELECT rowid,fnam,sex FROM user"), QStringList({ "1", "Ann", "0" }));
    }

    // Every statement of a burst runs before the first callback; callbacks then come in issue
    // order, once each, never inside exec, and never to a destination that is gone.
    void deliveryContract()
    {
        Database* db = Database::instance();
        QList<QPointer<DbRequester>> requests;
        const auto watch = connect(db, &Database::exec_start,
            [&requests](DbRequester* req, QObject*, db_result) { requests << req; });
        QObject dest;
        auto* early = new QObject;
        QPointer<QObject> late = new QObject;
        QStringList calls, laterRowsAtFirstCall;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES (?,?,?)", { "Cid", "Cole", "1990/01/01" }, &dest,
            [&](bool ok, DbResponser* r) {
                calls << QStringLiteral("insert %1 %2").arg(ok).arg(r->lastInsertId.toLongLong());
                laterRowsAtFirstCall = fields("SELECT count(*) FROM user WHERE fnam IN ('Early','Late')");
                delete late;
            });
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Early','E','2000/01/01')", {}, early,
            [&](bool, DbResponser*) { calls << "early"; });
        delete early;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Late','L','2000/01/01')", {}, late,
            [&](bool, DbResponser*) { calls << "late"; });
        db->exec("INSERT INTO user (fnam) VALUES ('Eve')", {}, &dest, [&](bool ok, DbResponser* r) {
            calls << (ok || r->lastInsertId.isValid() ? QStringLiteral("stored")
                                                      : r->error.section(':', 0, 0));
        });
        db->exec("SELECT fnam,lnam,bday,rmrk,lnam AS fnam FROM user WHERE rowid=?", { 2 }, &dest,
            [&](bool ok, DbResponser* r) {
                QVERIFY(ok && !r->value(0).isValid()); // nothing before the first next
                QCOMPARE(r->columns.value("fnam"), 4); // a repeated name maps to its last column
                QVERIFY(r->next());
                QCOMPARE(r->value(0).toString() + r->value("fnam").toString() + r->value("bday").toString(),
                    QStringLiteral("CidCole1990/01/01"));
                QVERIFY(r->value("rmrk").isNull() && !r->value(5).isValid() && !r->value(-1).isValid());
                QVERIFY(!r->value("ctry").isValid() && !r->next() && !r->value(0).isValid());
                calls << "read";
            });
        QVERIFY(calls.isEmpty());
        QTRY_COMPARE(calls, QStringList({ "insert 1 2", "NOT NULL constraint failed", "read" }));
        disconnect(watch);
        QVERIFY(settle());
        QCOMPARE(calls.size(), 3);
        QCOMPARE(laterRowsAtFirstCall, QStringList { "2" });
        QVERIFY(requests.size() == 5
            && std::all_of(requests.begin(), requests.end(), [](const auto& r) { return r.isNull(); }));
    }
};

KARVEX_TEST_MAIN(TestDatabase)
#include "TestDatabase.moc"
