#pragma once

#include <QString>

// The toolkit's own texts (standard buttons such as Yes and No, file and print dialogs) in
// the language of the current language file, from the system's Qt translations.
class QtTranslations
{
public:
    // Follows the language file: "lang_<tag>.ini" names its language; any other file, or a
    // language without Qt translations, leaves the toolkit's English texts.
    static void apply(const QString& languageFile);
    // The language tag of a language file name ("lang_de-DE.ini" gives "de-DE"), or empty.
    static QString tagOf(const QString& languageFile);
};
