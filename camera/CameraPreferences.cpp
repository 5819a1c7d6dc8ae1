#include "CameraPreferences.h"

#include "AppSettings.h"

namespace {
// A description is one key: a "/" in it would open a settings group instead.
QString keyFor(const char* group, const QString& description)
{
    QString name = description;
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QLatin1String(group) + QLatin1Char('/') + name;
}
} // namespace

namespace CameraPreferences {
CaptureFormat format(const QString& description)
{
    return CaptureFormat::fromSetting(AppSettings().value(keyFor("CameraFormat", description), QString()));
}

void setFormat(const QString& description, const CaptureFormat& format)
{
    AppSettings().setValue(keyFor("CameraFormat", description), format.toSetting());
}
} // namespace CameraPreferences
