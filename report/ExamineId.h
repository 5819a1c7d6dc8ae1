#pragma once

#include <QString>

// Examine IDs: the day as "yyyyMMdd" followed by a five-digit number that counts the reports
// opened on that day during this run. The count lives in memory only, so it starts at 1
// again after midnight and whenever the program starts.
class ExamineId
{
public:
    // Consumes and returns the next ID for today.
    static QString next();
};
