#pragma once

#include "CaptureFormat.h"

#include <QString>

// What the operator chose for one camera, kept in settings.ini under the camera's
// description so that it holds after a restart or a replug, whichever node the camera gets.
namespace CameraPreferences {
// The capture format chosen for the camera; invalid when none was chosen.
CaptureFormat format(const QString& description);
void setFormat(const QString& description, const CaptureFormat& format);
} // namespace CameraPreferences
