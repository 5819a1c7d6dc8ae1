#include "KeptControls.h"

#include "AppSettings.h"
#include "V4l2Controls.h"

#include <QDebug>

namespace KeptControls {
int apply(const QString& nodePath, const QString& description)
{
    const QMap<quint32, qint32> kept = AppSettings().cameraControls(description);
    if (kept.isEmpty() || nodePath.isEmpty())
        return 0;
    const std::unique_ptr<V4l2Controls> device = V4l2Controls::open(nodePath);
    if (!device)
        return 0;
    int written = 0;
    const QList<V4l2Control> controls = device->list();
    for (const V4l2Control& control : controls) {
        const auto value = kept.constFind(control.id);
        // Controls the camera does not list (another firmware) are not poked at.
        if (value == kept.constEnd() || !control.hasValue())
            continue;
        if (device->write(control, *value))
            ++written;
        else
            qDebug().noquote() << "Camera refused kept value" << *value << "for" << control.name;
    }
    return written;
}
} // namespace KeptControls
