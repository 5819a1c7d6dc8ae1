#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

#include <QString>

// The operator's wording of an exchange's outcome: "Connected", or why not, naming what to
// check (host and port, network, the AE titles on both sides).
class DicomReason
{
public:
    static QString text(const DicomStatus& status, const QString& callingAeTitle, const DicomNode& called,
        int timeoutSeconds);
};
