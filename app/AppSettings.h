#pragma once

#include <QSettings>
#include <QString>

// Short-lived accessor of "settings.ini" in the current working directory. Create one for
// one read or write and drop it; pending writes reach the file when it is destroyed.
class AppSettings : public QSettings
{
public:
    AppSettings();
    // Writes pending changes; a file that cannot be written is reported to the operator once
    // per run, naming the file.
    ~AppSettings() override;

    // The stored text, or defaultValue when the key is absent.
    QString value(const QString& key, const QString& defaultValue) const;
    // A numeric option: decimal text converted with base 10; text that is no number reads as 0.
    int intValue(const QString& key, const QString& defaultValue) const;
    void setValue(const QString& key, const QString& value);
};
