#include "Database.h"
#include "DbWait.h"
#include "TestSupport.h"

#include <QPointer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

// Every request the service is handed, watched until it is released.
class RequestWatch
{
public:
    RequestWatch()
    {
        connection = QObject::connect(Database::instance(), &Database::exec_start,
            [this](DbRequester* req, QObject*, db_result) { requests << req; });
    }
    ~RequestWatch() { QObject::disconnect(connection); }
    int alive() const
    {
        return int(
            std::count_if(requests.begin(), requests.end(), [](const auto& r) { return !r.isNull(); }));
    }

    QList<QPointer<DbRequester>> requests;

private:
    QMetaObject::Connection connection;
};

class TestDatabase : public QObject
{
    Q_OBJECT

    // A second connection on the same file, to see what the service has written.
    QSqlDatabase inspect;

    QString startOnce(const QStringList& statements)
    {
        QProcess start;
        start.start(QStringLiteral(KARVEX_DBSTART), QStringList { QDir::currentPath() } + statements);
        if (!start.waitForFinished(30000) || start.exitCode() != 0)
            return QStringLiteral("failed");
        return QString::fromLatin1(start.readAllStandardOutput()).trimmed();
    }

    qlonglong count(const QString& sql)
    {
        QSqlQuery query(inspect);
        return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
    }

private slots:
    void initTestCase()
    {
        // Two earlier program starts on the same folder, then this process is the third.
        QCOMPARE(startOnce({ "INSERT INTO user (fnam,lnam,bday) VALUES ('Ann','Archer','1980/02/03')" }),
            QStringLiteral("1"));
        QCOMPARE(startOnce({ "INSERT INTO user (fnam,lnam,bday) VALUES ('Bob','Baker','1975/06/07')" }),
            QStringLiteral("2"));
        QVERIFY(Database::instance());
        inspect = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        inspect.setDatabaseName(QStringLiteral("system.db"));
        QVERIFY(inspect.open());
    }

    void schemaIsStoredExactlyAsJoined()
    {
        QSqlQuery query(inspect);
        QVERIFY(query.exec("SELECT type,name,sql FROM sqlite_master ORDER BY name"));
        QStringList found;
        QMap<QString, QString> sql;
        while (query.next()) {
            found << query.value(0).toString() + ':' + query.value(1).toString();
            sql[query.value(1).toString()] = query.value(2).toString();
        }
        QCOMPARE(found, QStringList({ "table:recd", "index:recd_uid", "table:user" }));
        QCOMPARE(sql["user"],
            QStringLiteral("CREATE TABLE user (    fnam    VARCHAR(32)     NOT NULL,    lnam    VARCHAR(32)"
                           "     NOT NULL,    sex     SMALLINT        NOT NULL    DEFAULT 0,    bday    DATE"
                           "            NOT NULL,    ctry    TEXT,    area    TEXT,    strt    TEXT,    pcod"
                           "    TEXT,    rmrk    TEXT)"));
        QCOMPARE(sql["recd"],
            QStringLiteral("CREATE TABLE recd (    uid     BIGINT          NOT NULL,    fil     VARCHAR(128)"
                           "    NOT NULL,    dtm     TIMESTAMP       NOT NULL,    rmk     TEXT)"));
    }

    void laterStartsKeepEveryRow()
    {
        const DbReply reply = dbRun("SELECT fnam,lnam,bday,sex FROM user ORDER BY rowid");
        QVERIFY(reply.ok);
        QCOMPARE(reply.rows.size(), 2);
        QCOMPARE(reply.rows[0][0].toString(), QStringLiteral("Ann"));
        QCOMPARE(reply.rows[1][1].toString(), QStringLiteral("Baker"));
        QCOMPARE(reply.rows[1][3].toInt(), 0); // the declared default
    }

    void callbacksComeAfterExecInIssueOrderExactlyOnce()
    {
        RequestWatch watch;
        Database* db = Database::instance();
        QObject dest;
        QStringList order;
        QVariant insertedId;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES (?,?,?)", { "Cid", "Cole", "1990/01/01" }, &dest,
            [&](bool ok, DbResponser* r) {
                QVERIFY(ok);
                insertedId = r->lastInsertId;
                order << "insert";
            });
        db->exec("SELECT fnam FROM user WHERE rowid=?", { 3 }, &dest, [&](bool ok, DbResponser* r) {
            QVERIFY(ok && r->next());
            order << r->value(0).toString();
        });
        db->exec("DELETE FROM user WHERE fnam='nobody'", {}, &dest, [&](bool ok, DbResponser* r) {
            QVERIFY(ok);
            QVERIFY(!r->next());
            order << "delete";
        });
        QVERIFY(order.isEmpty()); // never inside exec
        QTRY_COMPARE(order, QStringList({ "insert", "Cid", "delete" }));
        QCOMPARE(insertedId.toLongLong(), 3LL);

        // A later request has been delivered, so a repeated delivery would have happened by now.
        QVERIFY(dbRun("SELECT 1").ok);
        QCOMPARE(order.size(), 3);
        QCOMPARE(watch.alive(), 0);
    }

    void burstExecutesEverythingBeforeAnyCallback()
    {
        Database* db = Database::instance();
        QObject dest;
        const qlonglong before = count("SELECT count(*) FROM user");
        qlonglong seenByCallback = -1, onDiskAtCallback = -1;
        bool secondDone = false;
        db->exec("SELECT count(*) FROM user", {}, &dest, [&](bool, DbResponser* r) {
            r->next();
            seenByCallback = r->value(0).toLongLong();
            onDiskAtCallback = count("SELECT count(*) FROM user");
            QVERIFY(!secondDone);
        });
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Dee','Dunn','2001/01/01')", {}, &dest,
            [&](bool ok, DbResponser*) { secondDone = ok; });
        QTRY_VERIFY(secondDone);
        QCOMPARE(seenByCallback, before);
        QCOMPARE(onDiskAtCallback, before + 1);
        dbRun("DELETE FROM user WHERE fnam='Dee'");
    }

    void responseReadsByIndexAndName()
    {
        QObject dest;
        bool done = false;
        Database::instance()->exec("SELECT fnam,lnam,bday,rmrk,lnam AS fnam FROM user WHERE fnam=?",
            { "Ann" }, &dest, [&](bool ok, DbResponser* r) {
                done = true;
                QVERIFY(ok);
                QCOMPARE(r->columns.value("fnam"), 4); // a repeated name maps to its last column
                QVERIFY(!r->value(0).isValid()); // before the first next
                QVERIFY(r->next());
                QCOMPARE(r->value(0).toString(), QStringLiteral("Ann"));
                QCOMPARE(r->value("bday").toString(), QStringLiteral("1980/02/03"));
                QCOMPARE(r->value("fnam").toString(), QStringLiteral("Archer"));
                QVERIFY(r->value("rmrk").isNull());
                QVERIFY(!r->value(5).isValid());
                QVERIFY(!r->value(-1).isValid());
                QVERIFY(!r->value("ctry").isValid());
                QVERIFY(!r->next());
                QCOMPARE(r->cursor, 1);
                QVERIFY(!r->value(0).isValid());
            });
        QTRY_VERIFY(done);
    }

    void emptyResultsAndUnmatchedChanges()
    {
        const DbReply none = dbRun("SELECT fnam FROM user WHERE fnam=?", { "nobody" });
        QVERIFY(none.ok);
        QVERIFY(none.rows.isEmpty());
        QCOMPARE(none.columns.value("fnam", -1), 0);
        const DbReply update = dbRun("UPDATE user SET rmrk='x' WHERE rowid=?", { 9999 });
        QVERIFY(update.ok);
        QVERIFY(update.rows.isEmpty());
        QVERIFY(update.error.isEmpty());
    }

    void failingStatementsReportDriverText()
    {
        const DbReply missing = dbRun("INSERT INTO user (fnam) VALUES (?)", { "Eve" });
        QVERIFY(!missing.ok);
        QVERIFY2(missing.error.contains("NOT NULL constraint failed"), qPrintable(missing.error));
        QVERIFY(missing.rows.isEmpty());
        QVERIFY(!missing.lastInsertId.isValid());

        const DbReply syntax = dbRun("SELEC fnam FROM user");
        QVERIFY(!syntax.ok);
        QVERIFY2(syntax.error.contains("syntax error"), qPrintable(syntax.error));
        QCOMPARE(count("SELECT count(*) FROM user WHERE fnam='Eve'"), 0LL);
    }

    void batchRunsOncePerValue()
    {
        QObject dest;
        bool ok = false;
        Database::instance()->exec(
            "INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)",
            { QVariantList { 1, 1, 2 }, QVariantList { "a.bmp", "b.bmp", "c.bmp" },
                QVariantList { "2024/01/01 10:00:00", "2024/01/02 10:00:00", "2024/01/03 10:00:00" } },
            &dest, [&](bool result, DbResponser*) { ok = result; }, true);
        QTRY_VERIFY(ok);
        QCOMPARE(count("SELECT count(*) FROM recd WHERE uid=1"), 2LL);
        QCOMPARE(count("SELECT count(*) FROM recd"), 3LL);
        dbRun("DELETE FROM recd");
    }

    void goneDestinationGetsNoCallAndNothingLeaks()
    {
        RequestWatch watch;
        Database* db = Database::instance();
        auto* early = new QObject;
        QPointer<QObject> late = new QObject;
        QObject keeper;
        int earlyCalls = 0, lateCalls = 0;
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Early','E','2000/01/01')", {}, early,
            [&](bool, DbResponser*) { ++earlyCalls; });
        delete early; // gone before its statement runs
        // Runs after every statement below has executed, before their deliveries.
        db->exec("SELECT 1", {}, &keeper, [&](bool, DbResponser*) { delete late; });
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Late','L','2000/01/01')", {}, late,
            [&](bool, DbResponser*) { ++lateCalls; });
        db->exec("INSERT INTO user (fnam,lnam,bday) VALUES ('Nobody','N','2000/01/01')", {}, nullptr,
            [&](bool, DbResponser*) { ++lateCalls; });

        // The statements ran although nobody was left to hear about them.
        QCOMPARE(dbRun("SELECT count(*) FROM user WHERE fnam IN ('Early','Late','Nobody')")
                     .rows.value(0)
                     .value(0)
                     .toInt(),
            3);
        QVERIFY(late.isNull());
        QCOMPARE(earlyCalls, 0);
        QCOMPARE(lateCalls, 0);
        QCOMPARE(watch.requests.size(), 5);
        QCOMPARE(watch.alive(), 0);
    }
};

KARVEX_TEST_MAIN(TestDatabase)
#include "TestDatabase.moc"
