#include "StillConverter.h"

QString StillConverter::convert(const QString&, const DicomHeader&, const QString&)
{
    return QStringLiteral("not implemented yet");
}

QString StillConverter::sopClassUid(const QString& modality)
{
    // VL Endoscopic Image Storage for endoscopy, VL Photographic Image Storage otherwise.
    return modality == QLatin1String("ES") ? QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1")
                                           : QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.4");
}
