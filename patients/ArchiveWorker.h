#pragma once

#include "DicomHeader.h"

#include <QObject>
#include <QSqlDatabase>

// The archive queue's work, on its own thread with its own connection to ./system.db: takes
// the records to send in capture order, makes each one's DICOM file from its patient,
// examination and series, sends them and stores what came of it.
class ArchiveWorker : public QObject
{
    Q_OBJECT
public:
    ArchiveWorker();
    ~ArchiveWorker() override;

public slots:
    // One pass over the waiting records, and over the failed ones too when withFailed.
    void sendPending(bool withFailed);

signals:
    void statesChanged();

private:
    bool openDatabase();
    // The header and capture file of one record; empty on success, else why not.
    QString prepare(qlonglong rid, DicomHeader* header, QString* path);
    QString seriesUid(qlonglong exam, const QString& kind, int* number);
    void store(qlonglong rid, const QString& state, const QString& error);

    QString connectionName;
    QSqlDatabase db;
};
