#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

#include <QStringList>
#include <QVector>

// Storage (C-STORE) of DICOM files to the archive over one association, which proposes for
// each file exactly its own SOP class and transfer syntax (the archive is never asked to
// convert). Blocking; call it off the GUI thread.
class DicomStore
{
public:
    // One status per file, in the order given. When the association cannot be made at all,
    // every file gets that failure.
    static QVector<DicomStatus> send(const QString& callingAeTitle, const DicomNode& archive,
        const QStringList& files, int timeoutSeconds);
};
