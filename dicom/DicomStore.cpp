#include "DicomStore.h"

QVector<DicomStatus> DicomStore::send(const QString&, const DicomNode&, const QStringList& files, int)
{
    return QVector<DicomStatus>(files.size(), { DicomStatus::Failed, QStringLiteral("not implemented yet") });
}
