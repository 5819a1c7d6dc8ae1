#pragma once

#include "CaptureFormat.h"

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;

// The Device menu's Format submenu: what the open camera offers, most useful first, with
// the format it runs in checked. Hidden while no camera that tells its formats is open.
class CameraFormatMenu : public QObject
{
    Q_OBJECT
public:
    // Adds the submenu (object name "mcForm") at the end of deviceMenu.
    explicit CameraFormatMenu(QMenu* deviceMenu);

    // The first of the submenu's entries in the Device menu (camera entries go before it).
    QAction* firstAction() const;
    void setFormats(const CaptureFormats& offered, const CaptureFormat& current);
    // Entry texts follow the current language.
    void retranslate();

signals:
    void formatChosen(const CaptureFormat& format);

private:
    void onTriggered(QAction* entry);

    QMenu* m_menu;
    QAction* m_separator;
    QActionGroup* m_group;
    CaptureFormats m_offered;
};
