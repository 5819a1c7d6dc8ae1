#include "CameraPreferences.h"

#include "AppSettings.h"

#include <QStringList>

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

QMap<quint32, qint32> controls(const QString& description)
{
    AppSettings settings;
    settings.beginGroup(keyFor("CameraControls", description));
    QMap<quint32, qint32> kept;
    const QStringList ids = settings.childKeys();
    for (const QString& id : ids) {
        bool idOk = false, valueOk = false;
        const quint32 control = id.toUInt(&idOk, 10);
        const qint32 value = settings.value(id, QString()).toInt(&valueOk, 10);
        // A hand-edited entry that is no number would otherwise write 0 into the camera.
        if (idOk && valueOk)
            kept.insert(control, value);
    }
    return kept;
}

void setControl(const QString& description, quint32 id, qint32 value)
{
    AppSettings().setValue(keyFor("CameraControls", description) + QLatin1Char('/') + QString::number(id),
        QString::number(value));
}

void forgetControls(const QString& description)
{
    AppSettings().remove(keyFor("CameraControls", description));
}
} // namespace CameraPreferences
