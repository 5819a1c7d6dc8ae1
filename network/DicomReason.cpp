#include "DicomReason.h"

#include "Language.h"

QString DicomReason::text(
    const DicomStatus& status, const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds)
{
    const QString port = QString::number(called.port);
    switch (status.failure) {
    case DicomStatus::None:
        return Language::systemText("dcm_ok");
    case DicomStatus::Refused:
        return Language::systemText("dcm_refused").arg(called.host, port);
    case DicomStatus::NoAnswer:
        return Language::systemText("dcm_noanswer").arg(called.host, port, QString::number(timeoutSeconds));
    case DicomStatus::AeTitleRejected:
        return Language::systemText("dcm_aet").arg(callingAeTitle, called.aeTitle);
    case DicomStatus::NotAccepted:
    case DicomStatus::Failed:
        break;
    }
    return Language::systemText("dcm_other").arg(status.detail);
}
