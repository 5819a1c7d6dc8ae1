#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Everything a capture's DICOM object says besides its picture: who, which examination,
// which series, which instance, where and when.
struct DicomHeader {
    // Patient
    QString lastName;
    QString firstName;
    QString patientId;
    QString issuerOfPatientId;
    QDate birthDate; // invalid: not known
    QString sex; // "M", "F" or empty

    // Study (one per examination)
    QString studyInstanceUid;
    QString accessionNumber;
    QString studyDescription; // the requested procedure, when known
    QDateTime studyDateTime;

    // Series (one per kind of capture in the study) and instance
    QString seriesInstanceUid;
    int seriesNumber = 1;
    QString sopInstanceUid;
    int instanceNumber = 1;
    QDateTime acquisitionDateTime; // the capture time

    // Equipment
    QString modality = QStringLiteral("ES"); // ES, XC, GM or OT
    QString stationName;
    QString institutionName;
};
