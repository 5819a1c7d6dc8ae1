#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QPointer>
#include <QProcess>

using namespace PatientsSupport;

class TestDatabase : public QObject
{
    Q_OBJECT

    QObject dest;
    QList<QPointer<DbRequester>> requests;
    QStringList calls, laterRowsAtFirstCall;
    int callsRightAfterExec = -1;

    static bool ensureOpen() { return QSqlDatabase::contains(QStringLiteral("check")) || openDatabases(); }

    // A burst of five statements (an insert whose callback deletes the destination of a later
    // one, one whose destination is gone before it runs, a refused insert and a read);
    // returns once every callback that will come has come.
    void issueBurst()
    {
        QVERIFY(ensureOpen());
        Database* db = Database::instance();
        requests.clear();
        calls.clear();
        const auto watch = connect(
            db, &Database::exec_start, [this](DbRequester* req, QObject*, db_result) { requests << req; });
        auto* early = new QObject;
        QPointer<QObject> late = new QObject;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES (?,?,?)", { "Cid", "Cole", "1990/01/01" }, &dest,
            [this, late](bool ok, DbResponser*) {
                calls << QStringLiteral("insert %1").arg(ok);
                laterRowsAtFirstCall = fields("SELECT count(*) FROM user WHERE fnam IN ('Early','Late')");
                delete late.data();
            });
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Early','E','2000/01/01')", {}, early,
            [this](bool, DbResponser*) { calls << "early"; });
        delete early;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Late','L','2000/01/01')", {}, late,
            [this](bool, DbResponser*) { calls << "late"; });
        db->exec("INSERT INTO user (fnam) VALUES ('Eve')", {}, &dest, [this](bool ok, DbResponser* r) {
            calls << (ok || r->lastInsertId.isValid() ? QStringLiteral("stored")
                                                      : r->error.section(':', 0, 0));
        });
        db->exec("SELECT fnam,lnam,bday,rmrk,lnam AS fnam FROM user WHERE rowid=?", { 0 }, &dest,
            [this](bool, DbResponser*) { calls << "read"; });
        callsRightAfterExec = calls.size();
        disconnect(watch); // settle's own request is not one of the burst
        QVERIFY(settle());
    }

private slots:
    // The service is created once per process and retried until it opens. What the operator
    // is told about an unusable file is the manager's part; here: no service on a folder, and
    // the next attempt opens the good file that an earlier program start has made meanwhile.
    void unusableFileIsRefusedAndALaterStartKeepsTheJoinedSchemaAndEveryRow()
    {
        if (QFileInfo::exists(QStringLiteral("system.db")))
            QSKIP("the service already runs in this process: this test has to come first");
        QVERIFY(QDir().mkdir("system.db"));
        QVERIFY(!Database::instance());
        QVERIFY(QDir().rmdir("system.db"));
        QCOMPARE(QProcess::execute(KARVEX_DBSTART,
                     { QDir::currentPath(),
                         "INSERT INTO user (fnam,lnam,bday) VALUES ('Ann','Archer','1980/02/03')" }),
            0);
        QVERIFY(openDatabases());
        QCOMPARE(fields("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master"
                        " WHERE name IN ('user', 'recd', 'recd_uid') ORDER BY rowid)"),
            QStringList {
                "CREATE TABLE user (    fnam    VARCHAR(32)     NOT NULL,    lnam    VARCHAR(32)"
                "     NOT NULL,    sex     SMALLINT        NOT NULL    DEFAULT 0,    bday    DATE"
                "            NOT NULL,    ctry    TEXT,    area    TEXT,    strt    TEXT,    pcod"
                "    TEXT,    rmrk    TEXT);CREATE TABLE recd (    uid     BIGINT          NOT NULL,"
                "    fil     VARCHAR(128)    NOT NULL,    dtm     TIMESTAMP       NOT NULL,    rmk"
                "     TEXT);CREATE INDEX recd_uid ON recd(uid)" });
        QCOMPARE(fields("SELECT rowid,fnam,sex FROM user"), QStringList({ "1", "Ann", "0" }));
    }

    void init()
    {
        if (QSqlDatabase::contains(QStringLiteral("check")))
            run("DELETE FROM user");
    }

    void noCallbackComesInsideExec()
    {
        issueBurst();
        QCOMPARE(callsRightAfterExec, 0);
    }

    void everyStatementOfABurstRunsBeforeTheFirstCallback()
    {
        issueBurst();
        QCOMPARE(laterRowsAtFirstCall, QStringList { "2" });
    }

    void callbacksComeInIssueOrderOnceEachAndOnlyToLivingDestinations()
    {
        issueBurst();
        QCOMPARE(calls, QStringList({ "insert 1", "NOT NULL constraint failed", "read" }));
    }

    void requestsAreDeletedOnceAnswered()
    {
        issueBurst();
        QCOMPARE(requests.size(), 5);
        QCOMPARE(
            std::count_if(requests.begin(), requests.end(), [](const auto& r) { return !r.isNull(); }), 0);
    }

    void readResultAnswers_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("nothing before the first next") << QStringLiteral("before next") << QVariant(false);
        QTest::newRow("a repeated name maps to its last column")
            << QStringLiteral("fnam column") << QVariant(4);
        QTest::newRow("column by repeated name") << QStringLiteral("fnam") << QVariant("Cole");
        QTest::newRow("null value") << QStringLiteral("rmrk is null") << QVariant(true);
        QTest::newRow("index beyond the columns") << QStringLiteral("column 5 valid") << QVariant(false);
        QTest::newRow("negative index") << QStringLiteral("column -1 valid") << QVariant(false);
        QTest::newRow("nothing after the end") << QStringLiteral("after end valid") << QVariant(false);
    }
    void readResultAnswers()
    {
        QFETCH(QString, what);
        QFETCH(QVariant, expected);
        QVERIFY(ensureOpen());
        const qlonglong id = run("INSERT INTO user (fnam,lnam,bday) VALUES ('Cid','Cole','1990/01/01')")
                                 .lastInsertId()
                                 .toLongLong();
        QVariantMap seen;
        Database::instance()->exec("SELECT fnam,lnam,bday,rmrk,lnam AS fnam FROM user WHERE rowid=?", { id },
            &dest, [&seen](bool ok, DbResponser* r) {
                seen["ok"] = ok;
                seen["before next"] = r->value(0).isValid();
                seen["fnam column"] = r->columns.value("fnam");
                seen["next"] = r->next();
                seen["column 0"] = r->value(0);
                seen["fnam"] = r->value("fnam");
                seen["bday"] = r->value("bday");
                seen["rmrk is null"] = r->value("rmrk").isNull();
                seen["column 5 valid"] = r->value(5).isValid();
                seen["column -1 valid"] = r->value(-1).isValid();
                seen["ctry valid"] = r->value("ctry").isValid();
                seen["second next"] = r->next();
                seen["after end valid"] = r->value(0).isValid();
            });
        QVERIFY(settle());
        QCOMPARE(seen.value(what), expected);
    }
};

KARVEX_TEST_MAIN(TestDatabase)
#include "TestDatabase.moc"
