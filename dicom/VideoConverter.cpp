#include "VideoConverter.h"

QString VideoConverter::convert(const QString&, const DicomHeader&, const QString&)
{
    return QStringLiteral("not implemented yet");
}

QString VideoConverter::sopClassUid(const QString& modality)
{
    // Video Endoscopic Image Storage for endoscopy, Video Photographic Image Storage otherwise.
    return modality == QLatin1String("ES") ? QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1.1")
                                           : QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.4.1");
}
