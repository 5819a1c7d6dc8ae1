#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// One scheduled procedure step of the modality worklist, as the worklist server sent it.
struct WorklistItem {
    QDateTime scheduled; // start date and time of the scheduled step (time may be unknown: 00:00)
    QString patientName; // DICOM person name as sent, "Last^First^Middle^Prefix^Suffix", UTF-8
    QString patientId;
    QString issuerOfPatientId;
    QDate birthDate; // invalid when not sent
    QString sex; // "M", "F", "O" or empty
    QString procedure; // requested procedure description (or the step's description)
    QString accessionNumber;
    QString studyInstanceUid;
};
