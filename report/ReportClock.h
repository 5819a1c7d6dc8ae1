#pragma once

#include <QDate>

#include <functional>

// Today's date as the report sees it: the date line, the examine ID and the patient's age.
// Tests replace the source to move the report to another day.
class ReportClock
{
public:
    using Source = std::function<QDate()>;

    static QDate today();
    // An empty source goes back to the system clock.
    static void setSource(Source source);
};
