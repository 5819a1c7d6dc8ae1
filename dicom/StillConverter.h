#pragma once

#include "DicomHeader.h"

#include <QString>

// A snapshot (any picture file Qt reads) as a DICOM file: VL Endoscopic Image Storage for
// modality ES, VL Photographic Image Storage otherwise; RGB, 8 bits, uncompressed (explicit
// VR little endian), UTF-8 texts.
class StillConverter
{
public:
    // Empty on success, else why the file could not be made (no partial file is left).
    static QString convert(const QString& picturePath, const DicomHeader& header, const QString& dicomPath);
    static QString sopClassUid(const QString& modality);
};
