#pragma once

#include "WorklistItem.h"

class QWidget;

// Takes a patient from the worklist into this station: finds the patient by Patient ID or
// files a new one from the worklist's name, birthday and sex, records the examination with
// the worklist's Study Instance UID and accession number, and opens the patient dialog ready
// for a new examination whose captures belong to that study.
class WorklistAdmission
{
public:
    static void admit(const WorklistItem& item, QWidget* parent);
};
