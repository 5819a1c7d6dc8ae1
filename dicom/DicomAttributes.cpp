#include "DicomAttributes.h"

#include "KarvexVersion.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>

namespace {
// The largest number of characters each value representation holds.
constexpr int ShortStringChars = 16; // SH
constexpr int LongStringChars = 64; // LO
constexpr int NameComponentChars = 64; // one component group of a PN

// A backslash would end the value and start another one.
QString singleValue(QString text, int maxChars)
{
    text.replace(QLatin1Char('\\'), QLatin1Char(' '));
    return text.trimmed().left(maxChars);
}

// "^" separates the name's parts and "=" its alphabetic, ideographic and phonetic forms.
QString namePart(QString text)
{
    text.replace(QLatin1Char('^'), QLatin1Char(' ')).replace(QLatin1Char('='), QLatin1Char(' '));
    return singleValue(text, NameComponentChars);
}

QString personName(const QString& last, const QString& first)
{
    const QString firstPart = namePart(first);
    QString name = namePart(last);
    if (!firstPart.isEmpty())
        name += QLatin1Char('^') + firstPart;
    return name.left(NameComponentChars);
}

QString date(const QDate& day)
{
    return day.isValid() ? day.toString(QStringLiteral("yyyyMMdd")) : QString();
}

QString time(const QTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("HHmmss")) : QString();
}

QString dateTime(const QDateTime& when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyyMMddHHmmss.zzz")) : QString();
}

class Writer
{
public:
    explicit Writer(DcmItem& item)
        : m_item(item)
    { }
    // Empty values are written too: the attributes of type 2 must be present even when unknown.
    void put(const DcmTagKey& tag, const QString& value)
    {
        m_good = m_good && m_item.putAndInsertString(tag, value.toUtf8().constData()).good();
    }
    void emptySequence(const DcmTagKey& tag) { m_good = m_good && m_item.insertEmptyElement(tag).good(); }
    bool good() const { return m_good; }

private:
    DcmItem& m_item;
    bool m_good = true;
};
} // namespace

bool DicomAttributes::write(DcmItem& dataset, const DicomHeader& header, const QString& sopClassUid)
{
    Writer w(dataset);
    w.put(DCM_SpecificCharacterSet, QStringLiteral("ISO_IR 192"));

    // SOP Common
    w.put(DCM_SOPClassUID, sopClassUid);
    w.put(DCM_SOPInstanceUID, header.sopInstanceUid);
    const QDateTime now = QDateTime::currentDateTime();
    w.put(DCM_InstanceCreationDate, date(now.date()));
    w.put(DCM_InstanceCreationTime, time(now.time()));

    // Patient
    w.put(DCM_PatientName, personName(header.lastName, header.firstName));
    w.put(DCM_PatientID, singleValue(header.patientId, LongStringChars));
    if (!header.issuerOfPatientId.isEmpty())
        w.put(DCM_IssuerOfPatientID, singleValue(header.issuerOfPatientId, LongStringChars));
    w.put(DCM_PatientBirthDate, date(header.birthDate));
    const bool knownSex = header.sex == QLatin1String("M") || header.sex == QLatin1String("F")
        || header.sex == QLatin1String("O");
    w.put(DCM_PatientSex, knownSex ? header.sex : QString());

    // General Study
    w.put(DCM_StudyInstanceUID, header.studyInstanceUid);
    w.put(DCM_StudyDate, date(header.studyDateTime.date()));
    w.put(DCM_StudyTime, time(header.studyDateTime.time()));
    w.put(DCM_ReferringPhysicianName, QString());
    // The station keeps no study numbers of its own.
    w.put(DCM_StudyID, QString());
    w.put(DCM_AccessionNumber, singleValue(header.accessionNumber, ShortStringChars));
    if (!header.studyDescription.isEmpty())
        w.put(DCM_StudyDescription, singleValue(header.studyDescription, LongStringChars));

    // General Series
    w.put(DCM_Modality, header.modality);
    w.put(DCM_SeriesInstanceUID, header.seriesInstanceUid);
    w.put(DCM_SeriesNumber, QString::number(header.seriesNumber));
    // Which side of the body is not known to the station.
    w.put(DCM_Laterality, QString());

    // General Equipment
    w.put(DCM_Manufacturer, QStringLiteral("Karvex"));
    if (!header.institutionName.isEmpty())
        w.put(DCM_InstitutionName, singleValue(header.institutionName, LongStringChars));
    if (!header.stationName.isEmpty())
        w.put(DCM_StationName, singleValue(header.stationName, ShortStringChars));
    w.put(DCM_SoftwareVersions, QStringLiteral(KARVEX_VERSION));

    // General Image and acquisition: the picture's content is from the moment of capture.
    w.put(DCM_InstanceNumber, QString::number(header.instanceNumber));
    w.put(DCM_PatientOrientation, QString());
    w.put(DCM_ImageType, QStringLiteral("ORIGINAL\\PRIMARY"));
    w.put(DCM_ContentDate, date(header.acquisitionDateTime.date()));
    w.put(DCM_ContentTime, time(header.acquisitionDateTime.time()));
    w.put(DCM_AcquisitionDateTime, dateTime(header.acquisitionDateTime));

    // Acquisition Context: nothing is known of it. The anatomic region is left out rather than
    // written empty: when present it must name a region.
    w.emptySequence(DCM_AcquisitionContextSequence);
    return w.good();
}

bool DicomAttributes::writeLossyCompression(DcmItem& dataset, const QString& method, double ratio)
{
    Writer w(dataset);
    if (method.isEmpty()) {
        w.put(DCM_LossyImageCompression, QStringLiteral("00"));
        return w.good();
    }
    w.put(DCM_LossyImageCompression, QStringLiteral("01"));
    w.put(DCM_LossyImageCompressionRatio, QString::number(ratio, 'f', 1));
    w.put(DCM_LossyImageCompressionMethod, method);
    return w.good();
}
