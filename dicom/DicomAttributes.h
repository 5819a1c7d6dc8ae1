#pragma once

#include "DicomHeader.h"

#include <QString>

class DcmItem;

// The attributes every capture's object carries whatever its picture: character set, patient,
// study, series, equipment, the image's identity and times, the acquisition context and the
// SOP identity. Texts go in as UTF-8 (ISO_IR 192), cut to what their value representation
// holds and cleared of the characters that would split them into several values or name parts.
class DicomAttributes
{
public:
    // False when the data set refused a value (out of memory): the object is then unusable.
    static bool write(DcmItem& dataset, const DicomHeader& header, const QString& sopClassUid);

    // Marks the picture as lossy (method e.g. "ISO_10918_1", ratio original size / compressed
    // size) or as never compressed with loss (empty method).
    static bool writeLossyCompression(DcmItem& dataset, const QString& method, double ratio);
};
