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
} // namespace CameraPreferences
