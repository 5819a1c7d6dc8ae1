#include "DicomUid.h"

#include <QUuid>

QString DicomUid::create()
{
    // The 128 bits of the UUID as one unsigned decimal number, without leading zeros.
    const QByteArray bytes = QUuid::createUuid().toRfc4122();
    unsigned __int128 value = 0;
    for (const char byte : bytes)
        value = (value << 8) | static_cast<unsigned char>(byte);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<char16_t>(value % 10)));
        value /= 10;
    } while (value != 0);
    return QStringLiteral("2.25.") + digits;
}
