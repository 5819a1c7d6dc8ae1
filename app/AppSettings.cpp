#include "AppSettings.h"

#include "Language.h"
#include "MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {
const QString kSavePath = QStringLiteral("SavePath/path");
const QString kWatermarkType = QStringLiteral("WMarker/type");
const QString kWatermarkText = QStringLiteral("WMarker/text");
const QString kWatermarkPicture = QStringLiteral("WMarker/path");
const QString kHospitalName = QStringLiteral("Hospital/name");
const QString kLastExamId = QStringLiteral("Report/lastExamId");
const QString kPdfFolder = QStringLiteral("Report/pdfFolder");
const QString kLanguagePath = QStringLiteral("Language/path");
const QString kDicomStationAeTitle = QStringLiteral("Dicom/stationAeTitle");
const QString kArchiveAeTitle = QStringLiteral("Dicom/archiveAeTitle");
const QString kArchiveHost = QStringLiteral("Dicom/archiveHost");
const QString kArchivePort = QStringLiteral("Dicom/archivePort");
const QString kWorklistAeTitle = QStringLiteral("Dicom/worklistAeTitle");
const QString kWorklistHost = QStringLiteral("Dicom/worklistHost");
const QString kWorklistPort = QStringLiteral("Dicom/worklistPort");
const QString kDicomModality = QStringLiteral("Dicom/modality");
const QString kDicomStationName = QStringLiteral("Dicom/stationName");
const QString kAutoSendToArchive = QStringLiteral("Dicom/autoSend");
const QString kDicomTimeout = QStringLiteral("Dicom/timeoutSeconds");
// The port DICOM servers listen on unless told otherwise.
const QString kDicomDefaultPort = QStringLiteral("104");

// Watermark kinds as stored: 0 is text, any other number a picture.
const QString kTextWatermark = QStringLiteral("0");
const QString kPictureWatermark = QStringLiteral("1");

QString cameraKeyName(int key)
{
    return QStringLiteral("BtnMgr/btn%1").arg(key);
}

QString keyboardKeyName(int index)
{
    return QStringLiteral("BtnMgr/key%1").arg(index + 1);
}

QString keyboardCommandName(int index)
{
    return QStringLiteral("BtnMgr/key%1cmd").arg(index + 1);
}

// A description is one key: a "/" in it would open a settings group instead.
QString cameraGroup(const char* group, const QString& description)
{
    QString name = description;
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QLatin1String(group) + QLatin1Char('/') + name;
}

QString cameraFormatName(const QString& description)
{
    return cameraGroup("CameraFormat", description);
}

QString cameraControlsGroup(const QString& description)
{
    return cameraGroup("CameraControls", description);
}
} // namespace

AppSettings::AppSettings()
    : QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat)
{ }

AppSettings::~AppSettings()
{
    sync();
    static bool reported = false;
    if (status() != QSettings::AccessError || reported || !QCoreApplication::instance())
        return;
    reported = true;
    // Shown from the event loop: a settings write may happen inside a destructor or while a
    // language is being loaded, where a modal box must not run.
    const QString file = QFileInfo(fileName()).absoluteFilePath();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [file] { MsgBox::warningText(nullptr, Language::systemText("set_eror").arg(file)); },
        Qt::QueuedConnection);
}

QString AppSettings::savePath() const
{
    return value(kSavePath, QString());
}

void AppSettings::setSavePath(const QString& folder)
{
    setValue(kSavePath, folder);
}

bool AppSettings::isTextWatermark() const
{
    return intValue(kWatermarkType, kTextWatermark) == 0;
}

void AppSettings::setTextWatermark(bool text)
{
    setValue(kWatermarkType, text ? kTextWatermark : kPictureWatermark);
}

QString AppSettings::watermarkText() const
{
    return value(kWatermarkText, QString());
}

void AppSettings::setWatermarkText(const QString& text)
{
    setValue(kWatermarkText, text);
}

QString AppSettings::watermarkPicture() const
{
    return value(kWatermarkPicture, QString());
}

void AppSettings::setWatermarkPicture(const QString& path)
{
    setValue(kWatermarkPicture, path);
}

int AppSettings::cameraKeyCommand(int key) const
{
    return intValue(cameraKeyName(key), QString::number(key != 1));
}

void AppSettings::setCameraKeyCommand(int key, int command)
{
    setValue(cameraKeyName(key), QString::number(command));
}

QString AppSettings::keyboardKey(int index) const
{
    return value(keyboardKeyName(index), QString());
}

void AppSettings::setKeyboardKey(int index, const QString& key)
{
    setValue(keyboardKeyName(index), key);
}

int AppSettings::keyboardKeyCommand(int index) const
{
    return intValue(keyboardCommandName(index), QString::number(index));
}

void AppSettings::setKeyboardKeyCommand(int index, int command)
{
    setValue(keyboardCommandName(index), QString::number(command));
}

QString AppSettings::cameraFormat(const QString& description) const
{
    return value(cameraFormatName(description), QString());
}

void AppSettings::setCameraFormat(const QString& description, const QString& format)
{
    setValue(cameraFormatName(description), format);
}

QMap<quint32, qint32> AppSettings::cameraControls(const QString& description)
{
    beginGroup(cameraControlsGroup(description));
    QMap<quint32, qint32> kept;
    const QStringList ids = childKeys();
    for (const QString& id : ids) {
        bool idOk = false, valueOk = false;
        const quint32 control = id.toUInt(&idOk, 10);
        const qint32 number = value(id, QString()).toInt(&valueOk, 10);
        // A hand-edited entry that is no number would otherwise write 0 into the camera.
        if (idOk && valueOk)
            kept.insert(control, number);
    }
    endGroup();
    return kept;
}

void AppSettings::setCameraControl(const QString& description, quint32 id, qint32 value)
{
    setValue(
        cameraControlsGroup(description) + QLatin1Char('/') + QString::number(id), QString::number(value));
}

void AppSettings::forgetCameraControls(const QString& description)
{
    remove(cameraControlsGroup(description));
}

QString AppSettings::hospitalName() const
{
    return value(kHospitalName, QString());
}

void AppSettings::setHospitalName(const QString& name)
{
    setValue(kHospitalName, name);
}

QString AppSettings::lastExamId() const
{
    return value(kLastExamId, QString());
}

void AppSettings::setLastExamId(const QString& id)
{
    setValue(kLastExamId, id);
}

QString AppSettings::dicomStationAeTitle() const
{
    return value(kDicomStationAeTitle, QStringLiteral("KARVEX"));
}

void AppSettings::setDicomStationAeTitle(const QString& aeTitle)
{
    setValue(kDicomStationAeTitle, aeTitle);
}

QString AppSettings::archiveAeTitle() const
{
    return value(kArchiveAeTitle, QStringLiteral("ARCHIVE"));
}

void AppSettings::setArchiveAeTitle(const QString& aeTitle)
{
    setValue(kArchiveAeTitle, aeTitle);
}

QString AppSettings::archiveHost() const
{
    return value(kArchiveHost, QString());
}

void AppSettings::setArchiveHost(const QString& host)
{
    setValue(kArchiveHost, host);
}

int AppSettings::archivePort() const
{
    return intValue(kArchivePort, kDicomDefaultPort);
}

void AppSettings::setArchivePort(int port)
{
    setValue(kArchivePort, QString::number(port));
}

QString AppSettings::worklistAeTitle() const
{
    return value(kWorklistAeTitle, QStringLiteral("WORKLIST"));
}

void AppSettings::setWorklistAeTitle(const QString& aeTitle)
{
    setValue(kWorklistAeTitle, aeTitle);
}

QString AppSettings::worklistHost() const
{
    return value(kWorklistHost, QString());
}

void AppSettings::setWorklistHost(const QString& host)
{
    setValue(kWorklistHost, host);
}

int AppSettings::worklistPort() const
{
    return intValue(kWorklistPort, kDicomDefaultPort);
}

void AppSettings::setWorklistPort(int port)
{
    setValue(kWorklistPort, QString::number(port));
}

QString AppSettings::dicomModality() const
{
    return value(kDicomModality, QStringLiteral("ES"));
}

void AppSettings::setDicomModality(const QString& modality)
{
    setValue(kDicomModality, modality);
}

QString AppSettings::dicomStationName() const
{
    return value(kDicomStationName, QString());
}

void AppSettings::setDicomStationName(const QString& name)
{
    setValue(kDicomStationName, name);
}

bool AppSettings::autoSendToArchive() const
{
    return intValue(kAutoSendToArchive, QStringLiteral("0")) != 0;
}

void AppSettings::setAutoSendToArchive(bool on)
{
    setValue(kAutoSendToArchive, on ? QStringLiteral("1") : QStringLiteral("0"));
}

int AppSettings::dicomTimeoutSeconds() const
{
    const int seconds = intValue(kDicomTimeout, QStringLiteral("10"));
    return seconds > 0 ? seconds : 10;
}

QString AppSettings::pdfFolder() const
{
    return value(kPdfFolder, QString());
}

void AppSettings::setPdfFolder(const QString& folder)
{
    setValue(kPdfFolder, folder);
}

QString AppSettings::languagePath() const
{
    return value(kLanguagePath, QString());
}

void AppSettings::setLanguagePath(const QString& path)
{
    setValue(kLanguagePath, path);
}

QString AppSettings::value(const QString& key, const QString& defaultValue) const
{
    return entryText(QSettings::value(key, defaultValue));
}

int AppSettings::intValue(const QString& key, const QString& defaultValue) const
{
    return value(key, defaultValue).toInt(nullptr, 10);
}

void AppSettings::setValue(const QString& key, const QString& value)
{
    QSettings::setValue(key, value);
}

QString AppSettings::entryText(const QVariant& value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}
