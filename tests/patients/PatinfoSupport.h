#pragma once

// Helpers shared by the patient dialog tests: a second connection on the same system.db to
// arrange and inspect rows, and small picture files.

#include "Database.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QVariantList>

namespace PatinfoSupport {

inline QSqlDatabase checkDb()
{
    const QString name = QStringLiteral("check");
    if (!QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral("./system.db"));
        db.open();
    }
    return QSqlDatabase::database(name);
}

// Opens the service and the check connection, and waits until the service has created
// its tables (its statements run later, from the event loop).
inline bool openDatabases()
{
    if (!Database::instance() || !checkDb().isOpen())
        return false;
    return QTest::qWaitFor([] { return checkDb().tables().contains(QStringLiteral("recd")); });
}

inline QSqlQuery run(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query(checkDb());
    query.prepare(sql);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    if (!query.exec())
        qWarning("check query failed: %s", qPrintable(query.lastError().text()));
    return query;
}

inline qlonglong insertPatient(const QString& first, const QString& last, int sex = 0,
    const QString& birthday = QStringLiteral("1980/01/02"))
{
    QSqlQuery query = run(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,?,?)"),
        { first, last, sex, birthday });
    return query.lastInsertId().toLongLong();
}

inline qlonglong insertRecord(qlonglong patient, const QString& path, const QString& remark = QString())
{
    QSqlQuery query = run(QStringLiteral("INSERT INTO recd (uid,fil,dtm,rmk) VALUES (?,?,?,?)"),
        { patient, path, QStringLiteral("2024/03/04 05:06:07"),
            remark.isNull() ? QVariant() : QVariant(remark) });
    return query.lastInsertId().toLongLong();
}

// The named columns of one row, or an empty record when there is none.
inline QSqlRecord row(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query = run(sql, binds);
    return query.next() ? query.record() : QSqlRecord();
}

inline int count(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query = run(sql, binds);
    return query.next() ? query.value(0).toInt() : -1;
}

inline QString writePicture(const QString& path, const QSize& size, const QColor& colour)
{
    QFileInfo(path).absoluteDir().mkpath(QStringLiteral("."));
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "BMP");
    return QFileInfo(path).absoluteFilePath();
}

} // namespace PatinfoSupport
