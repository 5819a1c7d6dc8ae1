#include "AppSettings.h"

#include <QStringList>

AppSettings::AppSettings()
    : QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat)
{
}

QString AppSettings::value(const QString& key, const QString& defaultValue) const
{
    const QVariant v = QSettings::value(key, defaultValue);
    // A hand-edited value with commas comes back as a list; keep it as the text it was.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

int AppSettings::intValue(const QString& key, const QString& defaultValue) const
{
    return value(key, defaultValue).toInt(nullptr, 10);
}

void AppSettings::setValue(const QString& key, const QString& value)
{
    QSettings::setValue(key, value);
}
