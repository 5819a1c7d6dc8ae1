#include "DicomEcho.h"

DicomStatus DicomEcho::check(const QString&, const DicomNode&, int)
{
    return { DicomStatus::Failed, QStringLiteral("not implemented yet") };
}
