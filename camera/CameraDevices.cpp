#include "CameraDevices.h"

#include <QCameraInfo>

namespace {
CameraDevices::Source& source()
{
    static CameraDevices::Source s;
    return s;
}
} // namespace

QList<CameraDevices::Device> CameraDevices::list()
{
    if (source())
        return source()();
    QList<Device> devices;
    const QList<QCameraInfo> cameras = QCameraInfo::availableCameras(QCamera::UnspecifiedPosition);
    for (const QCameraInfo& camera : cameras)
        devices << Device(camera.deviceName(), camera.description());
    return devices;
}

void CameraDevices::setSource(Source s)
{
    source() = std::move(s);
}
