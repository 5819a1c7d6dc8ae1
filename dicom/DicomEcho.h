#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

// Verification (C-ECHO): is the server there and does it accept us? Blocking; call it off
// the GUI thread.
class DicomEcho
{
public:
    static DicomStatus check(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds);
};
