#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// Free space of the volume that holds the capture folder. The byte count comes from the
// storage query; tests present any count through setSource.
class DiskSpace
{
public:
    using Source = std::function<qint64(const QString& path)>;

    // Bytes available to this user on the volume of path; -1 for an empty or unusable path.
    static qint64 freeBytes(const QString& path);
    // Replaces the storage query; an empty function restores it.
    static void setSource(Source source);
    // The status-bar text: "0M" for nothing, megabytes below one gigabyte, else gigabytes.
    static QString freeText(qint64 freeBytes);
};
