#include "CameraFormatMenu.h"

#include "Language.h"

#include <QActionGroup>
#include <QMenu>

Q_DECLARE_METATYPE(CaptureFormat)

namespace {
QString entryText(const CaptureFormat& format)
{
    QString pattern = Language::systemText("fmt_item");
    if (pattern.isEmpty())
        return format.label();
    return pattern.arg(format.width)
        .arg(format.height)
        .arg(CaptureFormat::fpsText(format.fps()), format.kindName());
}
} // namespace

CameraFormatMenu::CameraFormatMenu(QMenu* deviceMenu)
    : QObject(deviceMenu)
    , m_menu(new QMenu(deviceMenu))
    , m_group(new QActionGroup(this))
{
    m_menu->setObjectName(QStringLiteral("mcForm"));
    m_menu->setTitle(QStringLiteral("&Format"));
    m_group->setExclusive(true);
    m_separator = deviceMenu->addSeparator();
    deviceMenu->addMenu(m_menu);
    m_separator->setVisible(false);
    m_menu->menuAction()->setVisible(false);
    connect(m_group, &QActionGroup::triggered, this, &CameraFormatMenu::onTriggered);
}

QAction* CameraFormatMenu::firstAction() const
{
    return m_separator;
}

void CameraFormatMenu::setFormats(const CaptureFormats& offered, const CaptureFormat& current)
{
    m_offered = offered;
    const QList<QAction*> old = m_group->actions();
    for (QAction* entry : old) {
        m_group->removeAction(entry);
        delete entry;
    }
    for (const CaptureFormat& format : offered) {
        auto* entry = new QAction(entryText(format), m_menu);
        entry->setCheckable(true);
        entry->setChecked(format == current);
        entry->setData(QVariant::fromValue(format));
        m_group->addAction(entry);
        m_menu->addAction(entry);
    }
    m_separator->setVisible(!offered.isEmpty());
    m_menu->menuAction()->setVisible(!offered.isEmpty());
}

void CameraFormatMenu::retranslate()
{
    const QList<QAction*> entries = m_group->actions();
    for (QAction* entry : entries)
        entry->setText(entryText(entry->data().value<CaptureFormat>()));
}

void CameraFormatMenu::onTriggered(QAction* entry)
{
    emit formatChosen(entry->data().value<CaptureFormat>());
}
