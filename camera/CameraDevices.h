#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// The system's video capture devices as (device name, description) pairs. The program asks
// the multimedia layer; tests put a scripted list in its place, since no camera is present.
class CameraDevices
{
public:
    using Device = QPair<QString, QString>;
    using Source = std::function<QList<Device>()>;

    // Capture devices with unspecified position, in the order the system gives them.
    static QList<Device> list();
    // Replaces the system query; an empty function restores it.
    static void setSource(Source source);
};
