#pragma once

#include <QLocale>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>

#include <memory>

class QObject;
class QSettings;

// The process-wide wording: the current language file (a UTF-8 INI file in "language/"),
// lookups by section and key, and the rule that applies a file to a widget tree by the
// widgets' object names. Created on first use, never destroyed.
class Language
{
public:
    static Language* instance();

    // Makes the file at path the current language file; a missing file falls back to
    // "language/en-US.ini". The path is remembered as asked for under "Language/path".
    void load(const QString& path);
    // The stored choice, or at first start the user's language where a file for it exists,
    // else English.
    void loadAtStart(const QLocale& userLocale);
    // First-start choice: the first "language/lang_<tag>.ini" for the locale's UI languages,
    // else one for the same language in another country; false when none exists.
    bool loadDefault(const QLocale& locale);
    // The text of section/key ("@Section/key" references followed one level), or empty.
    QString text(const QString& section, const QString& key);
    // The text of section "System" (message texts) in the current language.
    static QString systemText(const QString& key);
    static QString systemText(const char* key) { return systemText(QLatin1String(key)); }
    // Applies the current file to the object and all its descendants, children first.
    void translate(QObject* object);
    // Entries "1|0" + display name + "/" + absolute path of the offered language files.
    static QStringList languages();
    // The object name of the first dialog or main window from the object upwards.
    static QString formName(QObject* object);

private:
    Language();
    QString readEntry(const QString& entry);
    void apply(QObject* object, const QString& form);

    QRecursiveMutex m_lock;
    std::unique_ptr<QSettings> m_reader;
};
