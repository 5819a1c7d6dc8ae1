#include "AppSettings.h"

#include "Language.h"
#include "MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

AppSettings::AppSettings()
    : QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat)
{ }

AppSettings::~AppSettings()
{
    sync();
    static bool reported = false;
    if (status() != QSettings::AccessError || reported || !QCoreApplication::instance())
        return;
    reported = true;
    // Shown from the event loop: a settings write may happen inside a destructor or while a
    // language is being loaded, where a modal box must not run.
    const QString file = QFileInfo(fileName()).absoluteFilePath();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [file] {
            MsgBox::warningText(nullptr,
                Language::instance()->text(QStringLiteral("System"), QStringLiteral("set_eror")).arg(file));
        },
        Qt::QueuedConnection);
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
