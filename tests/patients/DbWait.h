#pragma once

#include "Database.h"

#include <QObject>
#include <QtTest>

// A copy of one delivered result, for tests that wait for it.
struct DbReply {
    int calls = 0;
    bool ok = false;
    QString error;
    QVariant lastInsertId;
    QMap<QString, int> columns;
    QVector<QVector<QVariant>> rows;
};

inline void copyReply(DbReply& reply, bool ok, const DbResponser* response)
{
    ++reply.calls;
    reply.ok = ok;
    reply.error = response->error;
    reply.lastInsertId = response->lastInsertId;
    reply.columns = response->columns;
    reply.rows = response->rows;
}

// Runs one statement through the service and waits for its result.
inline DbReply dbRun(const QString& sql, const QVariantList& binds = {})
{
    DbReply reply;
    QObject dest;
    Database::instance()->exec(
        sql, binds, &dest, [&reply](bool ok, DbResponser* response) { copyReply(reply, ok, response); });
    (void)QTest::qWaitFor([&reply] { return reply.calls > 0; }, 10000);
    return reply;
}
