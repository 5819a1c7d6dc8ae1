#include "LanguageMenu.h"

#include "Language.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

namespace LanguageMenu {

void build(QMenu* menu, QActionGroup* group)
{
    const QStringList entries = Language::languages();
    for (const QString& entry : entries) {
        const int slash = entry.indexOf(QLatin1Char('/'));
        if (slash < 2) // no "/", or an empty display name
            continue;
        auto* action = new QAction(entry.mid(1, slash - 1), menu->parent() ? menu->parent() : menu);
        action->setCheckable(true);
        action->setChecked(entry.leftRef(1).toInt() != 0);
        action->setData(entry.mid(slash + 1));
        menu->addAction(action);
        group->addAction(action);
    }
}

bool load(QAction* action)
{
    const QString path = action ? action->data().toString() : QString();
    if (path.isEmpty())
        return false;
    Language::instance()->load(path);
    return true;
}

void retranslateChain(QWidget* window, QWidget* opener)
{
    Language* language = Language::instance();
    language->translate(window);
    for (QObject* o = opener; o && o->isWidgetType(); o = o->parent())
        language->translate(o);
}

} // namespace LanguageMenu
