#include "DiskSpace.h"

#include <QStorageInfo>

namespace {
DiskSpace::Source& source()
{
    static DiskSpace::Source s;
    return s;
}

constexpr qint64 kMiB = 1048576;
constexpr qint64 kGiB = 1073741824;
} // namespace

qint64 DiskSpace::freeBytes(const QString& path)
{
    if (source())
        return source()(path);
    if (path.isEmpty())
        return -1;
    const QStorageInfo storage(path);
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return storage.bytesAvailable();
}

void DiskSpace::setSource(Source s)
{
    source() = std::move(s);
}

QString DiskSpace::freeText(qint64 freeBytes)
{
    if (freeBytes <= 0)
        return QStringLiteral("0M");
    if (freeBytes < kGiB)
        return QString::number(double(freeBytes) / kMiB, 'f', 2) + QLatin1Char('M');
    return QString::number(double(freeBytes) / kGiB, 'f', 2) + QLatin1Char('G');
}
