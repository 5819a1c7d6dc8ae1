#pragma once

#include <QDate>
#include <QString>

// One scheduled procedure step as a worklist server holds it: who, what, for which station.
// Names are DICOM person names ("Last^First") in UTF-8; the file says ISO_IR 192.
struct WorklistEntry {
    QString patientName;
    QString patientId;
    QString issuerOfPatientId;
    QDate birthDate;
    QString sex;
    QString accessionNumber;
    QString studyInstanceUid;
    QString requestedProcedure;
    QString stationAeTitle;
    QString modality;
    QDate startDate;
    QString startTime; // "HHMMSS"
    QString stepDescription;

    // The entry as dump2dcm input.
    QString toDump() const;
};
