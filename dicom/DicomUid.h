#pragma once

#include <QString>

// New unique identifiers in the "2.25." form: a random (version 4) UUID written as one
// decimal number, which needs no registered organisation root.
class DicomUid
{
public:
    static QString create();
};
