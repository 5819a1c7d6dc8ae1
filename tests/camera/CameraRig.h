#pragma once

#include "CameraDevices.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

class CamViewer;
class FrmCamera;
class QAction;
class QWidget;

// Test stand-ins at the hardware boundary of the camera window: the list of capture
// devices, the FFmpeg input behind each device key, the free bytes of the capture disk and
// the language files. Everything above that boundary is the program's own code.
class CameraRig
{
public:
    CameraRig();
    ~CameraRig();

    // Writes the English and German test language files and loads the English one.
    static void installLanguages();
    static QString englishFile();
    static QString germanFile();

    // Devices the system "has", and the lavfi graph standing in for each device key.
    QList<CameraDevices::Device> devices;
    QMap<QByteArray, QByteArray> sources;
    // How often each device key was opened.
    QMap<QByteArray, int> opens;
    qint64 freeBytes = 100LL * 1024 * 1024 * 1024;
    int diskQueries = 0;

    // One supported 640x480 camera at "/dev/video0".
    void plugDefaultCamera();
    // A camera window with a frame counter on its view; deleted by the rig if still alive.
    FrmCamera* open(QWidget* opener = nullptr);
    // Waits until the view has presented at least `count` more pictures.
    bool waitForFrames(int count = 2);
    // Waits for `count` more disk-watch ticks (each tick asks for the free space once).
    bool waitForDiskTicks(int count);
    QStringList boxTexts() const;

    static QAction* action(FrmCamera* window, const char* name);
    static CamViewer* view(FrmCamera* window);
    static QStringList captures(const QString& pattern);
    // Pictures taken (time-stamped .bmp, not the recordings' thumbnails) and recordings.
    static QStringList pictures();
    static QStringList recordings();
    static QString captureFolder();

    // Answers every message box while the window lives (a real one would block the test).
    MsgBoxRecorder boxes { QMessageBox::Ok };
    QPointer<FrmCamera> window;
    int frames = 0;
};
