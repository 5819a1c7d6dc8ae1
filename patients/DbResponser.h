#pragma once

#include <QMap>
#include <QMetaObject>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

// The result of one statement as delivered to a callback: every row copied out.
struct DbResponser {
    QMetaObject::Connection connection;
    int cursor = -1;
    QString error;
    QVariant lastInsertId;
    QMap<QString, int> columns;
    QVector<QVector<QVariant>> rows;

    bool next();
    QVariant value(int column) const;
    QVariant value(const QString& name) const;
};

using db_result = std::function<void(bool ok, DbResponser* response)>;
Q_DECLARE_METATYPE(db_result)
