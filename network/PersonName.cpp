#include "PersonName.h"

#include <QStringList>

QString PersonName::display(const QString& dicomName)
{
    // Only the alphabetic representation: ideographic and phonetic ones follow after "=".
    const QStringList parts = dicomName.section(QLatin1Char('='), 0, 0).split(QLatin1Char('^'));
    const auto part = [&parts](int i) { return parts.value(i).trimmed(); };
    QStringList shown;
    for (const QString& p : { part(3), part(1), part(2), part(0), part(4) }) {
        if (!p.isEmpty())
            shown << p;
    }
    return shown.join(QLatin1Char(' '));
}
