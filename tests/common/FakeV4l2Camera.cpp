#include "FakeV4l2Camera.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
const char* const kConfigVariable = "KARVEX_FAKE_V4L2";
const char* const kLogVariable = "KARVEX_FAKE_V4L2_LOG";

QJsonObject control(int id, const QString& name, const QString& type, int min, int max, int defaultValue)
{
    return QJsonObject { { "id", id }, { "name", name }, { "type", type }, { "min", min }, { "max", max },
        { "step", 1 }, { "default", defaultValue } };
}

QJsonObject size(int width, int height, const QJsonArray& fps)
{
    return QJsonObject { { "width", width }, { "height", height }, { "fps", fps } };
}
} // namespace

FakeV4l2Camera::FakeV4l2Camera(const QString& folder)
    : m_configPath(QDir(folder).absoluteFilePath(QStringLiteral("fake-v4l2.json")))
    , m_logPath(QDir(folder).absoluteFilePath(QStringLiteral("fake-v4l2.log")))
{
    write();
    clearLog();
    qputenv(kConfigVariable, QFile::encodeName(m_configPath));
    qputenv(kLogVariable, QFile::encodeName(m_logPath));
}

FakeV4l2Camera::~FakeV4l2Camera()
{
    qunsetenv(kConfigVariable);
    qunsetenv(kLogVariable);
}

bool FakeV4l2Camera::isPreloaded()
{
    return qgetenv("LD_PRELOAD").contains("libkarvex-fake-v4l2.so");
}

QJsonObject FakeV4l2Camera::standardDevice(const QString& node)
{
    QJsonObject autoExposure
        = control(10094849, QStringLiteral("Auto Exposure"), QStringLiteral("menu"), 0, 1, 1);
    autoExposure[QStringLiteral("menu")]
        = QJsonArray { QStringLiteral("Manual Mode"), QStringLiteral("Aperture Priority Mode") };
    QJsonObject whiteBalance
        = control(9963788, QStringLiteral("White Balance Automatic"), QStringLiteral("bool"), 0, 1, 1);
    whiteBalance[QStringLiteral("flags")] = QJsonArray { QStringLiteral("inactive") };
    QJsonObject exposure
        = control(10094850, QStringLiteral("Exposure Time, Absolute"), QStringLiteral("int"), 3, 2047, 250);
    exposure[QStringLiteral("flags")] = QJsonArray { QStringLiteral("read-only") };

    return QJsonObject { { "node", node }, { "card", "ZEN-LUX HD" }, { "driver", "uvcvideo" },
        { "bus", "usb-0000:00:14.0-2" },
        { "current",
            QJsonObject { { "fourcc", "YUYV" }, { "width", 640 }, { "height", 480 }, { "fps", 30 } } },
        { "formats",
            QJsonArray {
                QJsonObject { { "fourcc", "MJPG" },
                    { "sizes",
                        QJsonArray { size(1920, 1080, { 30, 25, 15 }), size(1280, 720, { 60, 30 }) } } },
                QJsonObject { { "fourcc", "YUYV" },
                    { "sizes", QJsonArray { size(1920, 1080, { 5 }), size(640, 480, { 30, 15 }) } } } } },
        { "controls",
            QJsonArray { control(9963776, QStringLiteral("Brightness"), QStringLiteral("int"), -64, 64, 0),
                autoExposure, whiteBalance, exposure } },
        { "fail_open", "" }, { "unplug_after_frames", 0 } };
}

void FakeV4l2Camera::plug(const QJsonObject& device)
{
    removeNode(device.value(QStringLiteral("node")).toString());
    QJsonObject plugged = device;
    // The emulator sees a changed entry, so even an identical device is plugged in afresh.
    plugged[QStringLiteral("plug")] = ++m_plugCount;
    m_devices.append(plugged);
    write();
}

void FakeV4l2Camera::unplug(const QString& node)
{
    removeNode(node);
    write();
}

void FakeV4l2Camera::removeNode(const QString& node)
{
    for (int i = m_devices.size() - 1; i >= 0; --i)
        if (m_devices.at(i).toObject().value(QStringLiteral("node")).toString() == node)
            m_devices.removeAt(i);
}

QStringList FakeV4l2Camera::log() const
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void FakeV4l2Camera::clearLog()
{
    QFile::remove(m_logPath);
}

void FakeV4l2Camera::write()
{
    // Written aside and renamed into place: the emulator never reads half a file.
    QSaveFile file(m_configPath);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(m_configPath));
    file.write(QJsonDocument(QJsonObject { { "devices", m_devices } }).toJson());
    file.commit();
}
