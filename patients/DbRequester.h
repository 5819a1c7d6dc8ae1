#pragma once

#include "DbResponser.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <memory>

// One statement waiting to run: text with "?" placeholders, its values and the batch flag.
// After execution it also carries the result until that is delivered, so releasing the
// request releases everything that belongs to it.
class DbRequester : public QObject
{
    Q_OBJECT
public:
    DbRequester(const QString& sql, const QVariantList& binds, bool batch);
    ~DbRequester() override;

    QString sql;
    QVariantList binds;
    bool batch = false;

    // Watches the object the result goes to: a window may be closed between issuing a
    // statement and its execution, and the executor must not touch it then.
    QPointer<QObject> destination;
    // The result waiting for delivery.
    std::unique_ptr<DbResponser> response;

signals:
    void finished();
};
