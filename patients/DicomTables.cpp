#include "DicomTables.h"

QStringList DicomTables::createStatements()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS patient_ident ("
                       " uid INTEGER PRIMARY KEY,"
                       " pid TEXT NOT NULL,"
                       " issuer TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS patient_ident_pid ON patient_ident(pid)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS exam ("
                       " uid INTEGER NOT NULL,"
                       " day TEXT NOT NULL,"
                       " study_uid TEXT NOT NULL UNIQUE,"
                       " accession TEXT,"
                       " procedure TEXT,"
                       " source TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS exam_uid_day ON exam(uid, day)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS recd_dicom ("
                       " rid INTEGER PRIMARY KEY,"
                       " exam INTEGER,"
                       " sop_uid TEXT,"
                       " state TEXT,"
                       " error TEXT,"
                       " tm TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS exam_series ("
                       " exam INTEGER NOT NULL,"
                       " kind TEXT NOT NULL,"
                       " series_uid TEXT NOT NULL,"
                       " number INTEGER NOT NULL,"
                       " PRIMARY KEY (exam, kind))"),
    };
}
