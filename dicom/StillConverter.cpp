#include "StillConverter.h"

#include "DicomAttributes.h"
#include "DicomFileSaver.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <vector>

namespace {
bool writePicture(DcmDataset& dataset, const QImage& rgb)
{
    // QImage pads each line to four bytes; the pixel data holds the lines back to back.
    const int lineBytes = rgb.width() * 3;
    std::vector<Uint8> pixels(size_t(lineBytes) * size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        std::copy_n(rgb.constScanLine(y), lineBytes, pixels.begin() + ptrdiff_t(y) * lineBytes);

    return dataset.putAndInsertUint16(DCM_Rows, Uint16(rgb.height())).good()
        && dataset.putAndInsertUint16(DCM_Columns, Uint16(rgb.width())).good()
        && dataset.putAndInsertUint16(DCM_SamplesPerPixel, 3).good()
        && dataset.putAndInsertString(DCM_PhotometricInterpretation, "RGB").good()
        && dataset.putAndInsertUint16(DCM_PlanarConfiguration, 0).good()
        && dataset.putAndInsertUint16(DCM_BitsAllocated, 8).good()
        && dataset.putAndInsertUint16(DCM_BitsStored, 8).good()
        && dataset.putAndInsertUint16(DCM_HighBit, 7).good()
        && dataset.putAndInsertUint16(DCM_PixelRepresentation, 0).good()
        && dataset.putAndInsertUint8Array(DCM_PixelData, pixels.data(), pixels.size()).good();
}
} // namespace

QString StillConverter::convert(
    const QString& picturePath, const DicomHeader& header, const QString& dicomPath)
{
    QImageReader reader(picturePath);
    const QByteArray format = reader.format();
    const QImage picture = reader.read();
    if (picture.isNull())
        return QStringLiteral("The picture %1 cannot be read: %2.").arg(picturePath, reader.errorString());
    // Rows and Columns are 16-bit numbers.
    if (picture.width() > 0xFFFF || picture.height() > 0xFFFF)
        return QStringLiteral("The picture %1 is too large for a DICOM image.").arg(picturePath);
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);

    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    bool written
        = DicomAttributes::write(dataset, header, sopClassUid(header.modality)) && writePicture(dataset, rgb);
    // A JPEG snapshot has already lost detail; the DICOM object must say so.
    if (format == "jpeg" || format == "jpg") {
        const qint64 compressedBytes = QFileInfo(picturePath).size();
        const double ratio
            = compressedBytes > 0 ? double(rgb.width()) * rgb.height() * 3 / double(compressedBytes) : 1.0;
        written = written
            && DicomAttributes::writeLossyCompression(dataset, QStringLiteral("ISO_10918_1"), ratio);
    } else {
        written = written && DicomAttributes::writeLossyCompression(dataset, {}, 0.0);
    }
    if (!written)
        return QStringLiteral("The DICOM object for %1 cannot be made: out of memory.").arg(picturePath);
    return DicomFileSaver::save(file, EXS_LittleEndianExplicit, dicomPath);
}

QString StillConverter::sopClassUid(const QString& modality)
{
    // VL Endoscopic Image Storage for endoscopy, VL Photographic Image Storage otherwise.
    return modality == QLatin1String("ES") ? QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1")
                                           : QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.4");
}
