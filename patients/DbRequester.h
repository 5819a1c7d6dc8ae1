#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

// One statement waiting to run: text with "?" placeholders, its values and the batch flag.
class DbRequester : public QObject
{
    Q_OBJECT
public:
    DbRequester(const QString& sql, const QVariantList& binds, bool batch);

    QString sql;
    QVariantList binds;
    bool batch = false;

signals:
    void finished();
};
