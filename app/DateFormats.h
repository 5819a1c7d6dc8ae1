#pragma once

#include <QLatin1String>
#include <QString>

// How dates and times are written as text in the patient database and shown beside it.
namespace DateFormats {
// Birthdays, search dates and the report's date.
inline const QLatin1String kDate("yyyy/MM/dd");
// Capture times of examination records. They begin with the date, so the latest record of a
// patient is found by comparing the texts.
inline const QString kDateTime = kDate + QLatin1String(" HH:mm:ss");
} // namespace DateFormats
