#pragma once

#include <QStringList>

// The tables that join this station to a hospital's DICOM network, kept beside the patient
// and record tables (which other programs read and which therefore never change):
//
// - "patient_ident": a patient's Patient ID and its issuer, by the patient's rowid.
// - "exam": one row per examination: the patient's rowid, the day ("yyyy/MM/dd"), the Study
//   Instance UID, the accession number and requested procedure (when the worklist gave them)
//   and where it came from ("worklist" or "local", made here per patient and day).
// - "recd_dicom": per record (rowid of its "recd" row): its examination, its SOP Instance UID
//   once made, its sending state ("waiting", "sent", "failed"; NULL: never asked to be sent),
//   the last error and the time ("yyyy/MM/dd HH:mm:ss") of the last change.
// - "exam_series": per examination (rowid of "exam") and kind of capture ("picture",
//   "video"): the Series Instance UID and series number its sent captures carry.
//
// Every statement creates only what is missing, so a database from before opens unchanged.
class DicomTables
{
public:
    static QStringList createStatements();
};
