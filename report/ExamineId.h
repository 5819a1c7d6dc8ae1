#pragma once

#include <QString>

// Examine IDs: the day as "yyyyMMdd" followed by a five-digit number that counts the reports
// opened on that day. The last ID is kept in settings.ini, so the count goes on across
// restarts of the program and starts at 1 on a new day.
class ExamineId
{
public:
    // Consumes and returns the next ID for today.
    static QString next();
};
