#pragma once

#include <QString>

class DcmFileFormat;

// Writes a DICOM file (with its meta header) under a temporary name beside the target and
// renames it into place only once it is whole, so a failure never leaves a partial file.
class DicomFileSaver
{
public:
    // Empty on success, else why the file could not be written. transferSyntax is one of
    // DCMTK's E_TransferSyntax values.
    static QString save(DcmFileFormat& file, int transferSyntax, const QString& dicomPath);
};
