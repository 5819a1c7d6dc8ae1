#pragma once

#include "DicomHeader.h"

#include <QString>

// A recording segment as a DICOM file: Video Endoscopic Image Storage for modality ES, Video
// Photographic Image Storage otherwise, transfer syntax MPEG-4 AVC/H.264 High Profile / Level
// 4.1 (1.2.840.10008.1.2.4.102). The recording is re-encoded to H.264 High profile within
// level 4.1 into a plain MP4 whose index comes first, keeping every frame's time stamp, and
// that MP4 is the object's encapsulated pixel data.
class VideoConverter
{
public:
    // Empty on success, else why the file could not be made (no partial file is left).
    static QString convert(const QString& videoPath, const DicomHeader& header, const QString& dicomPath);
    static QString sopClassUid(const QString& modality);
};
