#include "WorklistAdmission.h"

void WorklistAdmission::admit(const WorklistItem&, QWidget*) { }
