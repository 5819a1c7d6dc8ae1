#pragma once

#include "CaptureFormat.h"

#include <QMap>
#include <QString>

// What the operator chose for one camera, kept in settings.ini under the camera's
// description so that it holds after a restart or a replug, whichever node the camera gets.
namespace CameraPreferences {
// The capture format chosen for the camera; invalid when none was chosen.
CaptureFormat format(const QString& description);
void setFormat(const QString& description, const CaptureFormat& format);
// Video Control values the operator set, by V4L2 control id. The driver forgets them on every
// replug, so they are applied again whenever the camera opens.
QMap<quint32, qint32> controls(const QString& description);
void setControl(const QString& description, quint32 id, qint32 value);
void forgetControls(const QString& description);
} // namespace CameraPreferences
