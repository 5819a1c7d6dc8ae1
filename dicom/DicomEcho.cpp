#include "DicomEcho.h"

#include "DicomAssociation.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dimse.h>

DicomStatus DicomEcho::check(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds)
{
    DicomAssociation association(callingAeTitle, called, timeoutSeconds);
    association.propose(UID_VerificationSOPClass,
        { UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax });
    DicomStatus status = association.open();
    if (!status.ok())
        return status;
    if (association.acceptedContext(UID_VerificationSOPClass) == 0)
        return { DicomStatus::NotAccepted, QStringLiteral("The peer accepts no verification") };
    DIC_US answer = 0;
    DcmDataset* statusDetail = nullptr;
    const OFCondition condition = DIMSE_echoUser(
        association.handle(), 1, DIMSE_NONBLOCKING, association.timeoutSeconds(), &answer, &statusDetail);
    delete statusDetail;
    if (condition.bad())
        return DicomAssociation::fromCondition(condition);
    association.release();
    if (answer != STATUS_Success)
        return { DicomStatus::Failed,
            QStringLiteral("Echo answered with status 0x%1").arg(answer, 4, 16, QLatin1Char('0')) };
    return {};
}
