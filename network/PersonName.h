#pragma once

#include <QString>

// A DICOM person name ("Last^First^Middle^Prefix^Suffix") written the way the patient list
// reads: first names before the last name.
class PersonName
{
public:
    static QString display(const QString& dicomName);
};
