#pragma once

#include "DicomStatus.h"
#include "WorklistItem.h"

#include <QVector>

// What one worklist query brought back to the window that asked.
struct WorklistAnswer {
    DicomStatus status;
    QVector<WorklistItem> items;
};
