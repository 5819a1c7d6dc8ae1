#pragma once

#include "DbParams.h"
#include "DbRequester.h"
#include "DbResponser.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QVariantList>

// The process-wide patient database "./system.db". Statements are queued and run one at a
// time from the GUI event loop; each result reaches its callback later, on the
// destination's thread, and never when the destination is gone.
class Database : public QObject
{
    Q_OBJECT
public:
    // The service, created and opened on first call; null when the file cannot be opened.
    static Database* instance();

    void exec(const QString& sql, const QVariantList& binds, QObject* dest, const db_result& callback,
        bool batch = false);
    bool open(const DbParams& params, QString* error);
    void close();
    ~Database() override;

signals:
    void exec_start(DbRequester* req, QObject* dest, db_result db_cbf);

private slots:
    void exec_finish(DbRequester* req, QObject* dest, db_result db_cbf);

private:
    explicit Database(const QString& driver);
    QSqlDatabase m_db;
    // Requests issued but not yet run belong to the service until they run: statements still
    // queued when the event loop ends are released with it instead of being lost. exec() may
    // be called from any thread.
    QMutex m_pendingLock;
    QSet<DbRequester*> m_pending;
};
