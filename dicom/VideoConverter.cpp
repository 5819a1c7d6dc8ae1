#include "VideoConverter.h"

#include "DicomAttributes.h"
#include "DicomFileSaver.h"
#include "VideoReencoder.h"

#include <QFile>
#include <QTemporaryFile>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmf.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>

#include <cmath>

namespace {
// One fragment holds the whole stream, and a fragment's length is a 32-bit even number.
constexpr qint64 MaxStreamBytes = 0xFFFFFFFEll;

bool writeImagePixel(DcmDataset& dataset, const VideoReencoder::Result& video)
{
    return dataset.putAndInsertUint16(DCM_Rows, Uint16(video.size.height())).good()
        && dataset.putAndInsertUint16(DCM_Columns, Uint16(video.size.width())).good()
        && dataset.putAndInsertUint16(DCM_SamplesPerPixel, 3).good()
        && dataset.putAndInsertString(DCM_PhotometricInterpretation, "YBR_PARTIAL_420").good()
        && dataset.putAndInsertUint16(DCM_PlanarConfiguration, 0).good()
        && dataset.putAndInsertUint16(DCM_BitsAllocated, 8).good()
        && dataset.putAndInsertUint16(DCM_BitsStored, 8).good()
        && dataset.putAndInsertUint16(DCM_HighBit, 7).good()
        && dataset.putAndInsertUint16(DCM_PixelRepresentation, 0).good();
}

// Multi-frame and Cine: frames follow each other at the mean frame time.
bool writeCine(DcmDataset& dataset, const VideoReencoder::Result& video)
{
    const double frameMs = video.durationSeconds * 1000.0 / video.frames;
    const QByteArray rate = QByteArray::number(frameMs > 0 ? int(std::lround(1000.0 / frameMs)) : 0);
    return dataset.putAndInsertString(DCM_NumberOfFrames, QByteArray::number(video.frames).constData()).good()
        && dataset.putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_FrameTime).good()
        && dataset.putAndInsertString(DCM_FrameTime, QByteArray::number(frameMs, 'f', 3).constData()).good()
        && dataset.putAndInsertString(DCM_CineRate, rate.constData()).good()
        && dataset.putAndInsertString(DCM_RecommendedDisplayFrameRate, rate.constData()).good()
        && dataset.putAndInsertString(DCM_StartTrim, "1").good()
        && dataset.putAndInsertString(DCM_StopTrim, QByteArray::number(video.frames).constData()).good()
        && dataset
               .putAndInsertString(
                   DCM_EffectiveDuration, QByteArray::number(video.durationSeconds, 'f', 3).constData())
               .good();
}

// The MP4 file goes in as the single fragment after an empty offset table; DCMTK copies it
// from the file while writing, so a long video is never held in memory.
bool writePixelData(DcmDataset& dataset, const QString& mp4Path, qint64 bytes)
{
    auto* fragments = new DcmPixelSequence(DCM_PixelSequenceTag);
    auto* pixelData = new DcmPixelData(DCM_PixelData);
    pixelData->putOriginalRepresentation(EXS_MPEG4HighProfileLevel4_1, nullptr, fragments);
    if (dataset.insert(pixelData, true).bad())
        return false;
    auto* stream = new DcmPixelItem(DCM_PixelItemTag);
    if (fragments->insert(new DcmPixelItem(DCM_PixelItemTag)).bad() || fragments->insert(stream).bad())
        return false;
    const QByteArray name = QFile::encodeName(mp4Path);
    return stream
        ->createValueFromTempFile(
            new DcmInputFileStreamFactory(name.constData(), 0), Uint32(bytes), EBO_LittleEndian)
        .good();
}
} // namespace

QString VideoConverter::convert(const QString& videoPath, const DicomHeader& header, const QString& dicomPath)
{
    QTemporaryFile mp4(dicomPath + QStringLiteral(".XXXXXX.mp4"));
    if (!mp4.open())
        return QStringLiteral("The DICOM file %1 cannot be written: %2.").arg(dicomPath, mp4.errorString());
    mp4.close();
    const VideoReencoder::Result video = VideoReencoder::reencode(videoPath, mp4.fileName());
    if (!video.error.isEmpty())
        return video.error;

    // A fragment has an even length: an odd stream gets a padding byte behind its last box.
    qint64 bytes = mp4.size();
    if (bytes % 2 != 0) {
        if (!mp4.open() || !mp4.seek(bytes) || mp4.write("\0", 1) != 1)
            return QStringLiteral("The temporary video file %1 cannot be written: %2.")
                .arg(mp4.fileName(), mp4.errorString());
        mp4.close();
        ++bytes;
    }
    if (bytes > MaxStreamBytes)
        return QStringLiteral("The recording %1 is too long for one DICOM object.").arg(videoPath);

    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    const double rawBytes = 1.5 * video.size.width() * video.size.height() * video.frames;
    const bool written = DicomAttributes::write(dataset, header, sopClassUid(header.modality))
        && DicomAttributes::writeLossyCompression(
            dataset, QStringLiteral("ISO_14496_10"), rawBytes / double(bytes))
        && writeImagePixel(dataset, video) && writeCine(dataset, video)
        && writePixelData(dataset, mp4.fileName(), bytes);
    if (!written)
        return QStringLiteral("The DICOM object for %1 cannot be made: out of memory.").arg(videoPath);
    return DicomFileSaver::save(file, EXS_MPEG4HighProfileLevel4_1, dicomPath);
}

QString VideoConverter::sopClassUid(const QString& modality)
{
    // Video Endoscopic Image Storage for endoscopy, Video Photographic Image Storage otherwise.
    return modality == QLatin1String("ES") ? QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1.1")
                                           : QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.4.1");
}
