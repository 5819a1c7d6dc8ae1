#include "WorklistEntry.h"

namespace {
QString line(const char* tag, const char* vr, const QString& value)
{
    return QStringLiteral("(%1) %2 [%3]\n").arg(QLatin1String(tag), QLatin1String(vr), value);
}
} // namespace

QString WorklistEntry::toDump() const
{
    const QString dicomDate = QStringLiteral("yyyyMMdd");
    return line("0008,0005", "CS", QStringLiteral("ISO_IR 192")) //
        + line("0008,0050", "SH", accessionNumber) //
        + line("0010,0010", "PN", patientName) //
        + line("0010,0020", "LO", patientId) //
        + line("0010,0021", "LO", issuerOfPatientId) //
        + line("0010,0030", "DA", birthDate.toString(dicomDate)) //
        + line("0010,0040", "CS", sex) //
        + line("0020,000d", "UI", studyInstanceUid) //
        + line("0032,1060", "LO", requestedProcedure) //
        + line("0040,1001", "SH", accessionNumber) // requested procedure ID
        + QStringLiteral("(0040,0100) SQ (Sequence with undefined length)\n"
                         "(fffe,e000) na (Item with undefined length)\n")
        + line("0008,0060", "CS", modality) //
        + line("0040,0001", "AE", stationAeTitle) //
        + line("0040,0002", "DA", startDate.toString(dicomDate)) //
        + line("0040,0003", "TM", startTime) //
        + line("0040,0007", "LO", stepDescription) //
        + line("0040,0009", "SH", accessionNumber) // scheduled procedure step ID
        + QStringLiteral("(fffe,e00d) na (ItemDelimitationItem)\n"
                         "(fffe,e0dd) na (SequenceDelimitationItem)\n");
}
