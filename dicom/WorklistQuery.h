#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"
#include "WorklistItem.h"

#include <QDate>
#include <QVector>

// Modality Worklist query (C-FIND): the procedures scheduled on one day for one station AE
// title and modality. Blocking; call it off the GUI thread.
class WorklistQuery
{
public:
    static DicomStatus find(const QString& callingAeTitle, const DicomNode& worklist, const QDate& day,
        const QString& modality, int timeoutSeconds, QVector<WorklistItem>* items);
};
