#pragma once

#include "CamGrabber.h"
#include "CamRecorder.h"
#include "CameraReconnect.h"
#include "UsbCamHID.h"

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class CameraFormatMenu;
class DeviceMonitor;
class KeyboardKeyFilter;
class QAction;
class QActionGroup;
class QLabel;

namespace Ui {
class FrmCamera;
}

// The camera window: live picture, device choice, captures and, in examination mode, the
// side panel of the patient's pictures. It owns the whole video pipeline. Checkable actions
// (record, freeze, full screen) hold the window's state, so every source of a command
// triggers the action rather than calling its slot.
class FrmCamera : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmCamera(QWidget* opener);
    ~FrmCamera() override;

    // Shows the side panel with the heading and the patient's existing pictures.
    void enterExamination(const QString& heading, const QStringList& pictures);
    // Appends one selectable picture box to the side panel.
    void addCapturedItem(const QString& path);
    // Applies the current language to this window, its opener chain and the texts the
    // window looks up itself.
    void retranslate();
    // The folder captures go to, or empty text when it does not exist (reported to the
    // user when a parent is given).
    static QString captureFolder(QWidget* parent);
    // Segment length of the window's recordings in milliseconds (tests and the bench; the
    // window itself records 20-minute segments).
    void setSegmentMs(qint64 segmentMs) { recorder.setSegmentMs(segmentMs); }

signals:
    void snap(const QString& path);
    void record(const QStringList& files);
    void report(const QStringList& paths);

private slots:
    void onDiskUpdate();
    void hidClicked(int id);
    // Runs a key command, numbered as in the key control dialog.
    void runCommand(int command);
    void onRecordingFailed(const QString& file, bool kept);
    void videoKeyPressed(int key);
    void videoDblClicked();
    void onFileSave(bool checked);
    void onFileExit(bool checked);
    void onCamrRefr(bool checked);
    void onCamrOpen(QAction* action);
    void onFormatChosen(const CaptureFormat& format);
    void onViewTopm(bool checked);
    void onViewFull(bool checked);
    void onOptnSnap(bool checked);
    void onOptnRecd(bool checked);
    void onOptnFrez(bool checked);
    void onOptnZmin(bool checked);
    void onOptnZout(bool checked);
    void onSetsButn(bool checked);
    void onSetsVido(bool checked);
    void onSetsWmkr(bool checked);
    void onLangChge(QAction* action);
    void onHelpAbut(bool checked);
    void onExpertExpt(bool checked);
    void onExpertBack(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QMap<QString, QString> enumerateCameras() const;
    void connectActions();
    // Reads the camera list and the camera keys again (byOperator: Refresh, or a device event).
    void refreshDevices(bool byOperator);
    void buildStatusBar();
    void applyWatermark();
    void setFirmware(unsigned short release);
    // Opens the current camera in the format kept for it (or its best one).
    void openCurrentCamera();
    void showCameraState();
    void showCameraSize();
    bool takeSnapshot();
    void startRecording();
    void stopRecording();
    // A Display entry: the view shows the picture so and the entry alone is checked.
    void showFlipped(QAction* entry, bool unflipped, bool horizontal);
    void showRotated(QAction* entry, double degrees);
    void checkOnly(QAction* chosen, const QList<QAction*>& set);
    QList<QAction*> flipActions() const;
    QList<QAction*> rotationActions() const;

    bool examMode = false;
    QWidget* opener = nullptr;
    std::unique_ptr<Ui::FrmCamera> ui;
    QLabel* resolutionLabel = nullptr;
    QLabel* firmwareLabel = nullptr;
    QLabel* diskLabel = nullptr;
    QTimer diskTimer;
    UsbCamHID keyLink;
    CamGrabber grabber;
    CamRecorder recorder { 20 };
    QString currentCamera;
    QString currentDescription;
    CameraFormatMenu* formatMenu = nullptr;
    DeviceMonitor* deviceMonitor = nullptr;
    CameraReconnect reconnect;
    KeyboardKeyFilter* keyboardKeys = nullptr;
    QActionGroup* cameraGroup = nullptr;
    QActionGroup* languageGroup = nullptr;
};
