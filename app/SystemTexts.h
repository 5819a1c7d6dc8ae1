#pragma once

#include <QString>

// Built-in English message texts. A program started outside its folder finds no language
// file; its message boxes must still say what they ask, or a blank delete question could be
// confirmed without the operator knowing what it was about.
class SystemTexts
{
public:
    // The English text of section "System" for key, or empty for an unknown key.
    static QString english(const QString& key);
};
