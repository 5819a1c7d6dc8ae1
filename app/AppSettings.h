#pragma once

#include <QMap>
#include <QSettings>
#include <QString>

// Short-lived accessor of "settings.ini" in the current working directory. Create one for
// one read or write and drop it; pending writes reach the file when it is destroyed.
//
// Every option has one typed getter and setter here, which alone know its key and default;
// the rest of the program never spells either. Nothing is cached: each getter reads the file.
class AppSettings : public QSettings
{
public:
    AppSettings();
    // Writes pending changes; a file that cannot be written is reported to the operator once
    // per run, naming the file.
    ~AppSettings() override;

    // The folder captures go to, as stored (empty: the default folder).
    QString savePath() const;
    void setSavePath(const QString& folder);

    // A text watermark (or a picture one), its text and its picture file.
    bool isTextWatermark() const;
    void setTextWatermark(bool text);
    QString watermarkText() const;
    void setWatermarkText(const QString& text);
    QString watermarkPicture() const;
    void setWatermarkPicture(const QString& path);

    // The command (row of the key control dialog) of camera key 1 or 2: by default key 1
    // takes pictures and key 2 records.
    int cameraKeyCommand(int key) const;
    void setCameraKeyCommand(int key, int command);
    // The keyboard key (portable text, empty when none) of the assignment at index 0 or 1
    // and its command, by default the same as the camera key of that number.
    QString keyboardKey(int index) const;
    void setKeyboardKey(int index, const QString& key);
    int keyboardKeyCommand(int index) const;
    void setKeyboardKeyCommand(int index, int command);

    // Per camera, by the camera's description: the chosen capture format (its setting text,
    // empty when none was chosen) and the Video Control values set, by control id.
    QString cameraFormat(const QString& description) const;
    void setCameraFormat(const QString& description, const QString& format);
    QMap<quint32, qint32> cameraControls(const QString& description);
    void setCameraControl(const QString& description, quint32 id, qint32 value);
    void forgetCameraControls(const QString& description);

    QString hospitalName() const;
    void setHospitalName(const QString& name);
    // The last examination ID handed out and the folder of the last saved report PDF.
    QString lastExamId() const;
    void setLastExamId(const QString& id);
    QString pdfFolder() const;
    void setPdfFolder(const QString& folder);

    // DICOM: this station's AE title, the archive's and the worklist's AE title, host and
    // port, the modality of the captures (ES, XC, GM or OT), the station name, whether
    // captures go to the archive by themselves when an examination ends, and how long to wait
    // for a server's answer.
    QString dicomStationAeTitle() const;
    void setDicomStationAeTitle(const QString& aeTitle);
    QString archiveAeTitle() const;
    void setArchiveAeTitle(const QString& aeTitle);
    QString archiveHost() const;
    void setArchiveHost(const QString& host);
    int archivePort() const;
    void setArchivePort(int port);
    QString worklistAeTitle() const;
    void setWorklistAeTitle(const QString& aeTitle);
    QString worklistHost() const;
    void setWorklistHost(const QString& host);
    int worklistPort() const;
    void setWorklistPort(int port);
    QString dicomModality() const;
    void setDicomModality(const QString& modality);
    QString dicomStationName() const;
    void setDicomStationName(const QString& name);
    bool autoSendToArchive() const;
    void setAutoSendToArchive(bool on);
    int dicomTimeoutSeconds() const;

    // The language file last loaded, as asked for; empty before the first choice.
    QString languagePath() const;
    void setLanguagePath(const QString& path);

    // Raw access by key, beneath the typed options above; outside this class only for checks
    // of the stored file itself.
    // The stored text, or defaultValue when the key is absent.
    QString value(const QString& key, const QString& defaultValue) const;
    // A numeric option: decimal text converted with base 10; text that is no number reads as 0.
    int intValue(const QString& key, const QString& defaultValue) const;
    void setValue(const QString& key, const QString& value);

    // The text of an INI entry: an unquoted value with commas comes back from the reader as a
    // list, and is joined to the text it was.
    static QString entryText(const QVariant& value);
};
