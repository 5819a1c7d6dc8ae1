#pragma once

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Drives the V4L2 camera emulator (libkarvex-fake-v4l2.so, preloaded by tests marked FAKE_V4L2):
// writes its configuration into a folder, points KARVEX_FAKE_V4L2 and KARVEX_FAKE_V4L2_LOG at
// it, and plugs or unplugs cameras while the test runs.
//
//     FakeV4l2Camera cameras;
//     QJsonObject device = FakeV4l2Camera::standardDevice("/dev/video7");
//     device["unplug_after_frames"] = 30;
//     cameras.plug(device);
//     ... open /dev/video7 with FFmpeg or V4l2Device ...
//     QCOMPARE(cameras.log().last(), "STREAMON");
class FakeV4l2Camera
{
public:
    explicit FakeV4l2Camera(const QString& folder = QDir::currentPath());
    // Unsets both variables: every emulated camera is gone.
    ~FakeV4l2Camera();
    FakeV4l2Camera(const FakeV4l2Camera&) = delete;
    FakeV4l2Camera& operator=(const FakeV4l2Camera&) = delete;

    // Whether the emulator is loaded in this process (QSKIP the test otherwise).
    static bool isPreloaded();

    // A ZEN-LUX HD camera: MJPG 1920x1080 (30, 25, 15 fps) and 1280x720 (60, 30), YUYV 1920x1080
    // (5) and 640x480 (30, 15), currently YUYV 640x480 at 30; controls Brightness (int -64..64),
    // Auto Exposure (menu, 2 items), White Balance Automatic (bool, inactive) and
    // Exposure Time (int, read-only).
    static QJsonObject standardDevice(const QString& node = QStringLiteral("/dev/video7"));

    // Plugs `device` in, replacing a device on the same node. Always a fresh plug: the node
    // forgets what was set on it, and descriptors still open on the old device fail.
    void plug(const QJsonObject& device);
    void unplug(const QString& node);

    // The lines the emulator logged so far ("S_FMT MJPG 1280x720", "S_PARM 1/30", "STREAMON").
    QStringList log() const;
    void clearLog();

    QString configPath() const { return m_configPath; }

private:
    void removeNode(const QString& node);
    void write();

    QString m_configPath;
    QString m_logPath;
    QJsonArray m_devices;
    int m_plugCount = 0;
};
