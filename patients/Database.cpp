#include "Database.h"

#include "DicomTables.h"
#include "UnicodeLike.h"

#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <memory>

namespace {

Database* service = nullptr;

// The table statements are kept as their column pieces, joined with nothing in between:
// the text stored in sqlite_master is exactly this, and other tools compare against it.
QString joined(std::initializer_list<const char*> pieces)
{
    QString sql;
    for (const char* piece : pieces)
        sql += QLatin1String(piece);
    return sql;
}

QString userTable()
{
    return joined({ "CREATE TABLE user (", "    fnam    VARCHAR(32)     NOT NULL,",
        "    lnam    VARCHAR(32)     NOT NULL,", "    sex     SMALLINT        NOT NULL    DEFAULT 0,",
        "    bday    DATE            NOT NULL,", "    ctry    TEXT,", "    area    TEXT,",
        "    strt    TEXT,", "    pcod    TEXT,", "    rmrk    TEXT", ")" });
}

QString recdTable()
{
    return joined({ "CREATE TABLE recd (", "    uid     BIGINT          NOT NULL,",
        "    fil     VARCHAR(128)    NOT NULL,", "    dtm     TIMESTAMP       NOT NULL,", "    rmk     TEXT",
        ")" });
}

// Without it every patient-list query makes SQLite build a temporary index on recd.uid,
// which dominates the query time once a clinic has tens of thousands of records.
const QString recdUidIndex = QStringLiteral("CREATE INDEX IF NOT EXISTS recd_uid ON recd(uid)");

// The delivery slot: owns the request (and with it the response) until the callback ran.
// When the destination is destroyed first, Qt drops this function object with the
// connection, and the request goes with it.
class Delivery
{
public:
    Delivery(DbRequester* req, db_result onDelivery, bool succeeded)
        : request(req, &release)
        , callback(std::move(onDelivery))
        , ok(succeeded)
    { }

    void operator()()
    {
        if (!request)
            return;
        callback(ok, request->response.get());
        QObject::disconnect(request->response->connection);
        request->response.reset();
        request.reset();
    }

private:
    static void release(DbRequester* req)
    {
        if (req->thread() == QThread::currentThread())
            delete req;
        else
            req->deleteLater();
    }

    // Shared only because Qt copies slot function objects; there is one owner at a time.
    std::shared_ptr<DbRequester> request;
    db_result callback;
    bool ok;
};

std::unique_ptr<DbResponser> readResult(QSqlQuery& query, bool ok)
{
    auto response = std::make_unique<DbResponser>();
    if (!ok) {
        response->error = query.lastError().text();
        return response;
    }
    const QSqlRecord record = query.record();
    const int count = record.count();
    for (int i = 0; i < count; ++i)
        response->columns.insert(record.fieldName(i), i); // a repeated name keeps its last index
    while (query.next()) {
        QVector<QVariant> row(count);
        for (int i = 0; i < count; ++i)
            row[i] = query.value(i);
        response->rows.append(std::move(row));
    }
    response->lastInsertId = query.lastInsertId();
    return response;
}

} // namespace

Database* Database::instance()
{
    if (service)
        return service;

    DbParams params;
    params.name = QStringLiteral("./system.db");
    QString error;
    auto* db = new Database(QStringLiteral("QSQLITE"));
    if (!db->open(params, &error)) {
        delete db;
        return nullptr;
    }
    // On every start after the first the tables exist and these fail unnoticed.
    db->exec(userTable(), {}, nullptr, db_result());
    db->exec(recdTable(), {}, nullptr, db_result());
    for (const QString& statement : DicomTables::createStatements())
        db->exec(statement, {}, nullptr, db_result());
    db->exec(recdUidIndex, {}, nullptr, db_result());
    service = db;
    return service;
}

Database::Database(const QString& driver)
    : QObject(nullptr)
    , m_db(QSqlDatabase::addDatabase(driver))
{
    qRegisterMetaType<db_result>("db_result");
    qRegisterMetaType<DbRequester*>("DbRequester");
    connect(this, &Database::exec_start, this, &Database::exec_finish, Qt::QueuedConnection);
}

Database::~Database()
{
    // The queued calls that would have run these are dropped with this object.
    qDeleteAll(m_pending);
    close();
    // Let a later attempt add the default connection again without a duplicate.
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

bool Database::open(const DbParams& params, QString* error)
{
    close();
    m_db.setHostName(params.host);
    m_db.setPort(params.port);
    m_db.setUserName(params.user);
    m_db.setPassword(params.password);
    m_db.setDatabaseName(params.name);
    if (!m_db.open()) {
        if (error)
            *error = m_db.lastError().text();
        return false;
    }
    // SQLite opens any file lazily and only complains at the first read, so a file that is
    // not a database (or cannot be read) would otherwise look like an open, empty one.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("PRAGMA schema_version"))) {
        if (error)
            *error = probe.lastError().text();
        probe = QSqlQuery();
        close();
        return false;
    }
    // The patient list reads the newest record of every patient: random reads across recd
    // that SQLite's default 2 MB page cache cannot hold at clinic scale.
    probe.exec(QStringLiteral("PRAGMA cache_size=-32768"));
    UnicodeLike::install(m_db);
    return true;
}

void Database::close()
{
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
}

void Database::exec(
    const QString& sql, const QVariantList& binds, QObject* dest, const db_result& callback, bool batch)
{
    auto* req = new DbRequester(sql, binds, batch);
    req->destination = dest;
    {
        QMutexLocker locker(&m_pendingLock);
        m_pending.insert(req);
    }
    emit exec_start(req, dest, callback);
}

void Database::exec_finish(DbRequester* req, QObject* dest, db_result db_cbf)
{
    {
        QMutexLocker locker(&m_pendingLock);
        m_pending.remove(req);
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    bool ok = query.prepare(req->sql);
    if (ok) {
        for (const QVariant& value : qAsConst(req->binds))
            query.addBindValue(value);
        ok = req->batch ? query.execBatch() : query.exec();
    }

    // The destination may have gone while the request waited; then nothing is delivered.
    if (!dest || !db_cbf || !req->destination) {
        delete req;
        return;
    }

    req->response = readResult(query, ok);
    query.finish();

    if (req->thread() != dest->thread())
        req->moveToThread(dest->thread());
    DbResponser* response = req->response.get();
    response->connection = connect(
        req, &DbRequester::finished, dest, Delivery(req, std::move(db_cbf), ok), Qt::QueuedConnection);
    emit req->finished();
}
