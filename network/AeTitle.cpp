#include "AeTitle.h"

bool AeTitle::isValid(const QString& title)
{
    const QString t = normalized(title);
    if (t.isEmpty() || t.size() > 16)
        return false;
    for (const QChar c : t) {
        // Only printable ASCII goes on the wire unchanged: anything else would reach the
        // server as different bytes than the administrator configured.
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}
