#pragma once

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

// The language menu of both main windows and the re-translation after a switch.
namespace LanguageMenu {
// One checkable entry per offered language file, added to menu and group; the entry whose
// file is the stored choice is checked. The caller connects the group's triggered signal.
void build(QMenu* menu, QActionGroup* group);
// Loads the language of a menu entry (its data is the file path). False for empty data.
bool load(QAction* action);
// Translates window, then opener and each widget ancestor of opener.
void retranslateChain(QWidget* window, QWidget* opener);
} // namespace LanguageMenu
