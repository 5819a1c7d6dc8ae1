#include "Language.h"

#include "AppSettings.h"
#include "QtTranslations.h"
#include "SystemTexts.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMutexLocker>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>

namespace {
const QString kFolder = QStringLiteral("language/");
} // namespace

Language* Language::instance()
{
    static Language* language = nullptr;
    if (!language) {
        language = new Language;
        language->loadAtStart(QLocale::system());
    }
    return language;
}

void Language::loadAtStart(const QLocale& userLocale)
{
    const QString stored = AppSettings().languagePath();
    if (!stored.isEmpty())
        load(stored);
    else if (!loadDefault(userLocale))
        loadDefault(QLocale(QLocale::English, QLocale::AnyCountry));
}

Language::Language() = default;

void Language::load(const QString& path)
{
    QMutexLocker locker(&m_lock);
    m_reader.reset();
    const bool exists = !path.isEmpty() && QFileInfo::exists(path);
    const QString file = exists ? path : kFolder + QStringLiteral("en-US.ini");
    m_reader = std::make_unique<QSettings>(file, QSettings::IniFormat);
    m_reader->setIniCodec("UTF-8");
    QtTranslations::apply(file);
    AppSettings().setLanguagePath(path);
}

bool Language::loadDefault(const QLocale& locale)
{
    const QStringList tags = locale.uiLanguages();
    for (const QString& tag : tags) {
        const QString file = kFolder + QStringLiteral("lang_") + tag + QStringLiteral(".ini");
        if (QFileInfo::exists(file)) {
            load(QFileInfo(file).absoluteFilePath());
            return true;
        }
    }
    // A user in Austria reads the German file rather than the English one.
    for (const QString& tag : tags) {
        const QString language = tag.section(QLatin1Char('-'), 0, 0);
        const QFileInfoList files = QDir(kFolder).entryInfoList(
            { QStringLiteral("lang_") + language + QStringLiteral("-*.ini") }, QDir::Files, QDir::Name);
        if (!files.isEmpty()) {
            load(files.first().absoluteFilePath());
            return true;
        }
    }
    return false;
}

QString Language::readEntry(const QString& entry)
{
    return AppSettings::entryText(m_reader->value(entry, QString()));
}

QString Language::text(const QString& section, const QString& key)
{
    QMutexLocker locker(&m_lock);
    QString result = m_reader ? readEntry(section + QLatin1Char('/') + key) : QString();
    // One level only: a reference inside the referenced entry is returned as it stands.
    if (result.startsWith(QLatin1Char('@')))
        result = result.size() > 1 ? readEntry(result.mid(1)) : QString();
    // Messages never show blank: a missing file or entry falls back to the English text.
    if (result.isEmpty() && section == QLatin1String("System"))
        result = SystemTexts::english(key);
    return result;
}

QString Language::systemText(const QString& key)
{
    return instance()->text(QStringLiteral("System"), key);
}

QString Language::formName(QObject* object)
{
    if (!object || !object->isWidgetType())
        return QString();
    for (QObject* o = object; o; o = o->parent()) {
        if (qobject_cast<QDialog*>(o) || qobject_cast<QMainWindow*>(o))
            return o->objectName();
    }
    return QString();
}

void Language::translate(QObject* object)
{
    const QString form = formName(object);
    if (!object || form.isEmpty())
        return;
    apply(object, form);
}

void Language::apply(QObject* object, const QString& form)
{
    const QObjectList children = object->children();
    for (QObject* child : children) {
        // A child dialog or window belongs to its own section.
        const QString childForm = formName(child);
        if (!childForm.isEmpty())
            apply(child, childForm);
    }

    const QString name = object->objectName();
    if (name.isEmpty())
        return;
    const QString value = text(form, name);
    if (value.isEmpty())
        return;

    if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(value);
        const QList<QAction*> actions = menu->actions();
        for (QAction* action : actions) {
            // Separators and submenu entries have no name; "Form/" would read the top-level
            // key "Form" instead of nothing.
            if (action->objectName().isEmpty())
                continue;
            const QString t = text(form, action->objectName());
            if (!t.isEmpty())
                action->setText(t);
        }
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
        const int current = combo->currentIndex();
        combo->clear();
        combo->addItems(value.split(QLatin1Char('/'), Qt::KeepEmptyParts));
        combo->setCurrentIndex(current);
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        edit->setText(value);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (QWidget* page = tabs->widget(i)) {
                const QString t = text(form, page->objectName());
                if (!t.isEmpty())
                    tabs->setTabText(i, t);
            }
        }
    } else if (auto* button = qobject_cast<QPushButton*>(object)) {
        button->setText(value);
    } else if (auto* table = qobject_cast<QTableWidget*>(object)) {
        const QByteArray base = name.toLatin1();
        // A row or column without a header item is skipped, not the end of the walk.
        const auto translateHeaders = [&](int count, const char* pattern, auto headerItem) {
            for (int i = 0; i < count; ++i) {
                QTableWidgetItem* header = headerItem(i);
                const QString t
                    = header ? text(form, QString::asprintf(pattern, base.constData(), i + 1)) : QString();
                if (!t.isEmpty())
                    header->setText(t);
            }
        };
        translateHeaders(
            table->rowCount(), "%s_row%d", [table](int r) { return table->verticalHeaderItem(r); });
        translateHeaders(
            table->columnCount(), "%s_col%d", [table](int c) { return table->horizontalHeaderItem(c); });
    } else if (auto* radio = qobject_cast<QRadioButton*>(object)) {
        radio->setText(value);
    } else if (qobject_cast<QDialog*>(object) || qobject_cast<QMainWindow*>(object)) {
        static_cast<QWidget*>(object)->setWindowTitle(value);
    }
}

QStringList Language::languages()
{
    const QString current = AppSettings().languagePath();
    QStringList entries;
    const QFileInfoList files
        = QDir(kFolder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files) {
        if (!file.fileName().endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive))
            continue;
        QSettings ini(file.absoluteFilePath(), QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        const QString name = AppSettings::entryText(ini.value(QStringLiteral("System/name")));
        if (name.isEmpty())
            continue;
        const QString path = file.absoluteFilePath();
        entries << (path == current ? QStringLiteral("1") : QStringLiteral("0")) + name + QLatin1Char('/')
                + path;
    }
    return entries;
}
