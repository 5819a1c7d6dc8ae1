#pragma once

// What the patient tests share: a second connection on the service's system.db to arrange
// and inspect rows, and a wait for the service's queue.

#include "Database.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace PatientsSupport {

inline QSqlQuery run(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("check")));
    query.prepare(sql);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    query.exec();
    return query;
}

// The first row as texts ("NULL" for a null value), read and released at once: an open
// read would keep the service from writing.
inline QStringList fields(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query = run(sql, binds);
    QStringList texts;
    query.next();
    for (int i = 0; query.isValid() && i < query.record().count(); ++i)
        texts << (query.isNull(i) ? QStringLiteral("NULL") : query.value(i).toString());
    return texts;
}

// Opens the service and the check connection, and waits until the service has created its
// tables (its statements run later, from the event loop).
inline bool openDatabases()
{
    QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    check.setDatabaseName(QStringLiteral("./system.db"));
    return Database::instance() && check.open()
        && QTest::qWaitFor([&check] { return check.tables().contains(QStringLiteral("recd")); });
}

// Returns once every request posted to the service before it has been delivered.
inline bool settle()
{
    QObject dest;
    bool done = false;
    Database::instance()->exec("SELECT 1", {}, &dest, [&done](bool, DbResponser*) { done = true; });
    return QTest::qWaitFor([&done] { return done; });
}

} // namespace PatientsSupport
