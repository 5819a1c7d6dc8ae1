#include "QtTranslations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

QString QtTranslations::tagOf(const QString& languageFile)
{
    const QString name = QFileInfo(languageFile).fileName();
    const QString prefix = QStringLiteral("lang_");
    const QString suffix = QStringLiteral(".ini");
    if (!name.startsWith(prefix) || !name.endsWith(suffix, Qt::CaseInsensitive))
        return QString();
    return name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
}

void QtTranslations::apply(const QString& languageFile)
{
    if (!QCoreApplication::instance())
        return;
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const QString tag = tagOf(languageFile);
    if (tag.isEmpty())
        return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(tag), QStringLiteral("qt"), QStringLiteral("_"),
            QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    installed = translator.release();
}
