#include "WorklistQuery.h"

DicomStatus WorklistQuery::find(
    const QString&, const DicomNode&, const QDate&, const QString&, int, QVector<WorklistItem>* items)
{
    items->clear();
    return { DicomStatus::Failed, QStringLiteral("not implemented yet") };
}
