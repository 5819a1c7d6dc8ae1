#include "WorklistQuery.h"

#include "DicomAssociation.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/diutil.h>

namespace {
const char* kUtf8 = "ISO_IR 192";

// Strings of an answer that could not be converted to UTF-8 are read as Latin-1, the
// character set most older worklists use without saying so.
struct Answer {
    DcmItem* item;
    bool utf8;

    QString text(const DcmTagKey& tag) const
    {
        OFString value;
        if (item->findAndGetOFStringArray(tag, value).bad())
            return {};
        return (utf8 ? QString::fromUtf8(value.c_str()) : QString::fromLatin1(value.c_str())).trimmed();
    }
};

QDate dicomDate(const QString& value)
{
    return QDate::fromString(value.left(8), QStringLiteral("yyyyMMdd"));
}

// TM values may stop after the hours or minutes and may carry fractions of a second.
QTime dicomTime(const QString& value)
{
    QString digits = value.left(value.indexOf(QLatin1Char('.')) < 0 ? 6 : value.indexOf(QLatin1Char('.')));
    digits.remove(QLatin1Char(':'));
    digits = digits.leftJustified(6, QLatin1Char('0'), true);
    const QTime time = QTime::fromString(digits, QStringLiteral("HHmmss"));
    return time.isValid() ? time : QTime(0, 0);
}

WorklistItem itemFrom(DcmDataset* answerSet)
{
    OFString charset;
    answerSet->findAndGetOFStringArray(DCM_SpecificCharacterSet, charset);
    const bool utf8 = charset == kUtf8 || answerSet->convertToUTF8().good();
    const Answer answer { answerSet, utf8 };
    DcmItem* step = nullptr;
    answerSet->findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0);
    const Answer stepAnswer { step ? step : answerSet, utf8 };

    WorklistItem item;
    item.patientName = answer.text(DCM_PatientName);
    item.patientId = answer.text(DCM_PatientID);
    item.issuerOfPatientId = answer.text(DCM_IssuerOfPatientID);
    item.birthDate = dicomDate(answer.text(DCM_PatientBirthDate));
    item.sex = answer.text(DCM_PatientSex);
    item.accessionNumber = answer.text(DCM_AccessionNumber);
    item.studyInstanceUid = answer.text(DCM_StudyInstanceUID);
    item.procedure = answer.text(DCM_RequestedProcedureDescription);
    if (item.procedure.isEmpty())
        item.procedure = stepAnswer.text(DCM_ScheduledProcedureStepDescription);
    item.scheduled = QDateTime(dicomDate(stepAnswer.text(DCM_ScheduledProcedureStepStartDate)),
        dicomTime(stepAnswer.text(DCM_ScheduledProcedureStepStartTime)));
    return item;
}

void collect(void* items, T_DIMSE_C_FindRQ*, int, T_DIMSE_C_FindRSP*, DcmDataset* answer)
{
    if (answer)
        static_cast<QVector<WorklistItem>*>(items)->append(itemFrom(answer));
}

// The keys asked for: one station, one day, one modality; everything else is to be returned.
void fillQuery(DcmDataset& query, const QString& callingAeTitle, const QDate& day, const QString& modality)
{
    query.putAndInsertString(DCM_SpecificCharacterSet, kUtf8);
    for (const DcmTagKey& key : { DCM_PatientName, DCM_PatientID, DCM_IssuerOfPatientID, DCM_PatientBirthDate,
             DCM_PatientSex, DCM_AccessionNumber, DCM_StudyInstanceUID, DCM_RequestedProcedureDescription })
        query.insertEmptyElement(key);
    DcmItem* step = nullptr;
    query.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step);
    step->putAndInsertString(DCM_ScheduledStationAETitle, callingAeTitle.toLatin1().constData());
    step->putAndInsertString(
        DCM_ScheduledProcedureStepStartDate, day.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData());
    step->putAndInsertString(DCM_Modality, modality.toLatin1().constData());
    step->insertEmptyElement(DCM_ScheduledProcedureStepStartTime);
    step->insertEmptyElement(DCM_ScheduledProcedureStepDescription);
}
} // namespace

DicomStatus WorklistQuery::find(const QString& callingAeTitle, const DicomNode& worklist, const QDate& day,
    const QString& modality, int timeoutSeconds, QVector<WorklistItem>* items)
{
    items->clear();
    DicomAssociation association(callingAeTitle, worklist, timeoutSeconds);
    association.propose(UID_FINDModalityWorklistInformationModel,
        { UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax });
    DicomStatus opened = association.open();
    if (!opened.ok())
        return opened;
    const unsigned char context = association.acceptedContext(UID_FINDModalityWorklistInformationModel);
    if (context == 0)
        return { DicomStatus::NotAccepted, QStringLiteral("The peer offers no modality worklist") };

    DcmDataset query;
    fillQuery(query, callingAeTitle, day, modality);
    T_DIMSE_C_FindRQ request {};
    request.MessageID = 1;
    OFStandard::strlcpy(request.AffectedSOPClassUID, UID_FINDModalityWorklistInformationModel,
        sizeof(request.AffectedSOPClassUID));
    request.DataSetType = DIMSE_DATASET_PRESENT;
    request.Priority = DIMSE_PRIORITY_MEDIUM;
    T_DIMSE_C_FindRSP response {};
    DcmDataset* statusDetail = nullptr;
    int answers = 0;
    QVector<WorklistItem> found;
    const OFCondition condition = DIMSE_findUser(association.handle(), context, &request, &query, answers,
        &collect, &found, DIMSE_NONBLOCKING, association.timeoutSeconds(), &response, &statusDetail);
    delete statusDetail;
    if (condition.bad())
        return DicomAssociation::fromCondition(condition);
    association.release();
    if (response.DimseStatus != STATUS_Success)
        return { DicomStatus::Failed,
            QStringLiteral("The worklist answered status 0x%1 (%2)")
                .arg(response.DimseStatus, 4, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(DU_cfindStatusString(response.DimseStatus))) };
    // Only a complete answer is handed out: a broken-off query lists nothing rather than part.
    *items = found;
    return {};
}
