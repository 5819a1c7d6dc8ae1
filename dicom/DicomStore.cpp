#include "DicomStore.h"

#include "DicomAssociation.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/diutil.h>

#include <QPair>
#include <QSet>

#include <QFile>

#include <memory>
#include <vector>

namespace {
// What the association needs to know of one file, read from its meta header.
struct StoredFile {
    std::unique_ptr<DcmFileFormat> file;
    QByteArray sopClass;
    QByteArray sopInstance;
    QByteArray transferSyntax;
    DicomStatus status; // Failed when the file cannot be sent at all
};

QByteArray metaValue(DcmMetaInfo* meta, const DcmTagKey& tag)
{
    OFString value;
    meta->findAndGetOFString(tag, value);
    return QByteArray(value.c_str());
}

StoredFile readFile(const QString& path)
{
    StoredFile stored;
    stored.file = std::make_unique<DcmFileFormat>();
    // Large values (the pixel data of a video) stay in the file until they are sent.
    const OFCondition condition = stored.file->loadFile(QFile::encodeName(path).constData());
    DcmMetaInfo* meta = stored.file->getMetaInfo();
    if (condition.good()) {
        stored.sopClass = metaValue(meta, DCM_MediaStorageSOPClassUID);
        stored.sopInstance = metaValue(meta, DCM_MediaStorageSOPInstanceUID);
        stored.transferSyntax = metaValue(meta, DCM_TransferSyntaxUID);
    }
    if (condition.bad())
        stored.status = { DicomStatus::Failed,
            QStringLiteral("Cannot read %1: %2").arg(path, QString::fromLocal8Bit(condition.text())) };
    else if (stored.sopClass.isEmpty() || stored.sopInstance.isEmpty() || stored.transferSyntax.isEmpty())
        stored.status = { DicomStatus::Failed,
            QStringLiteral("%1 has no complete DICOM file meta information").arg(path) };
    return stored;
}

// `networkFailed` tells whether the association itself broke down (and nothing more can be sent).
DicomStatus storeOne(
    DicomAssociation& association, StoredFile& stored, unsigned short messageId, bool* networkFailed)
{
    *networkFailed = false;
    const unsigned char context = association.acceptedContext(stored.sopClass, stored.transferSyntax);
    if (context == 0)
        return { DicomStatus::NotAccepted,
            QStringLiteral("The archive accepts no context for SOP class %1 with transfer syntax %2")
                .arg(QString::fromLatin1(stored.sopClass), QString::fromLatin1(stored.transferSyntax)) };
    T_DIMSE_C_StoreRQ request {};
    request.MessageID = messageId;
    OFStandard::strlcpy(
        request.AffectedSOPClassUID, stored.sopClass.constData(), sizeof(request.AffectedSOPClassUID));
    OFStandard::strlcpy(request.AffectedSOPInstanceUID, stored.sopInstance.constData(),
        sizeof(request.AffectedSOPInstanceUID));
    request.DataSetType = DIMSE_DATASET_PRESENT;
    request.Priority = DIMSE_PRIORITY_MEDIUM;
    T_DIMSE_C_StoreRSP response {};
    DcmDataset* statusDetail = nullptr;
    const OFCondition condition
        = DIMSE_storeUser(association.handle(), context, &request, nullptr, stored.file->getDataset(),
            nullptr, nullptr, DIMSE_NONBLOCKING, association.timeoutSeconds(), &response, &statusDetail);
    delete statusDetail;
    if (condition.bad()) {
        *networkFailed = true;
        return DicomAssociation::fromCondition(condition);
    }
    // Warnings (0xB000 range) mean the archive kept the object, possibly adapted.
    if (response.DimseStatus != STATUS_Success && (response.DimseStatus & 0xf000) != 0xb000)
        return { DicomStatus::Failed,
            QStringLiteral("The archive answered status 0x%1 (%2)")
                .arg(response.DimseStatus, 4, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(DU_cstoreStatusString(response.DimseStatus))) };
    return {};
}
} // namespace

QVector<DicomStatus> DicomStore::send(
    const QString& callingAeTitle, const DicomNode& archive, const QStringList& files, int timeoutSeconds)
{
    std::vector<StoredFile> stored;
    stored.reserve(files.size());
    for (const QString& path : files)
        stored.push_back(readFile(path));

    DicomAssociation association(callingAeTitle, archive, timeoutSeconds);
    QSet<QPair<QByteArray, QByteArray>> proposed;
    for (StoredFile& file : stored) {
        const QPair<QByteArray, QByteArray> syntax(file.sopClass, file.transferSyntax);
        if (!file.status.ok() || proposed.contains(syntax))
            continue;
        // Exactly the file's own transfer syntax: the archive is never asked to convert.
        if (association.propose(file.sopClass, { file.transferSyntax }))
            proposed.insert(syntax);
        else
            file.status
                = { DicomStatus::Failed, QStringLiteral("Too many kinds of objects for one association") };
    }
    QVector<DicomStatus> result;
    if (proposed.isEmpty()) {
        for (const StoredFile& file : stored)
            result.append(file.status);
        return result;
    }
    const DicomStatus opened = association.open();
    unsigned short messageId = 1;
    bool associationLost = !opened.ok();
    DicomStatus lost = opened;
    for (StoredFile& file : stored) {
        if (!file.status.ok()) {
            result.append(file.status);
        } else if (associationLost) {
            result.append(lost);
        } else {
            bool networkFailed = false;
            const DicomStatus status = storeOne(association, file, messageId++, &networkFailed);
            // A broken association ends the sending: the files after it get the same reason.
            if (networkFailed) {
                associationLost = true;
                lost = status;
            }
            result.append(status);
        }
        file.file.reset(); // let go of the file's data as soon as it is sent
    }
    if (!associationLost)
        association.release();
    return result;
}
