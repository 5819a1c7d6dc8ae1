#pragma once

// Helpers of the patient dialog tests: a second connection on the same system.db to arrange
// and inspect rows, picture files, and the dialog's widgets by object name.

#include "Database.h"
#include "DlgPatinfo.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace PatinfoSupport {

inline QSqlQuery run(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("check")));
    query.prepare(sql);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    query.exec();
    return query;
}

// Opens the service and the check connection, and waits until the service has created
// its tables (its statements run later, from the event loop).
inline bool openDatabases()
{
    QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    check.setDatabaseName(QStringLiteral("./system.db"));
    return Database::instance() && check.open()
        && QTest::qWaitFor([&check] { return check.tables().contains(QStringLiteral("recd")); });
}

// The first row of a query; value(0) of an empty record is invalid.
inline QSqlRecord row(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query = run(sql, binds);
    return query.next() ? query.record() : QSqlRecord();
}

inline qlonglong insertPatient(const QString& first, const QString& last)
{
    return run(
        QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,0,'1980/01/02')"), { first, last })
        .lastInsertId()
        .toLongLong();
}

inline qlonglong insertRecord(qlonglong patient, const QString& path, const QVariant& remark = {})
{
    return run(QStringLiteral("INSERT INTO recd (uid,fil,dtm,rmk) VALUES (?,?,'2024/03/04 05:06:07',?)"),
        { patient, path, remark })
        .lastInsertId()
        .toLongLong();
}

inline QString writePicture(const QString& path, const QSize& size, Qt::GlobalColor colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "BMP");
    return QFileInfo(path).absoluteFilePath();
}

template <typename T = QWidget> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Shows the stored patient and waits for its records list.
inline bool openPatient(DlgPatinfo& dialog, qlonglong patient)
{
    QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
    dialog.setRowID(quint64(patient));
    return loaded.wait();
}

} // namespace PatinfoSupport
