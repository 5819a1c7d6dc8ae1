#include "CameraPreferences.h"

#include "AppSettings.h"

namespace CameraPreferences {
CaptureFormat format(const QString& description)
{
    return CaptureFormat::fromSetting(AppSettings().cameraFormat(description));
}

void setFormat(const QString& description, const CaptureFormat& format)
{
    AppSettings().setCameraFormat(description, format.toSetting());
}

QMap<quint32, qint32> controls(const QString& description)
{
    return AppSettings().cameraControls(description);
}

void setControl(const QString& description, quint32 id, qint32 value)
{
    AppSettings().setCameraControl(description, id, value);
}

void forgetControls(const QString& description)
{
    AppSettings().forgetCameraControls(description);
}
} // namespace CameraPreferences
