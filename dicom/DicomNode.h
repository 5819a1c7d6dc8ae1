#pragma once

#include <QString>

// One DICOM application entity on the network: its AE title and where it listens.
struct DicomNode {
    QString aeTitle;
    QString host;
    quint16 port = 0;
};
