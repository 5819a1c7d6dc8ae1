#pragma once

#include <QString>

// What a DICOM application entity title may be: 1 to 16 characters of the basic character
// set, not only spaces, no backslash (it separates values) and no control characters.
// Leading and trailing spaces carry no meaning and are dropped before storing.
class AeTitle
{
public:
    static bool isValid(const QString& title);
    static QString normalized(const QString& title) { return title.trimmed(); }
};
