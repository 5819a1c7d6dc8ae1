#pragma once

#include <QString>

// The texts (from section "System" of the language file) that tell the operator why there
// is no live picture or why a capture was not made.
namespace CaptureMessages {
// Shown in the view when the camera could not be opened, from the open's FFmpeg error.
QString cameraUnavailable(int openError);
QString noCamera();
// Shown in the view on a display SDL cannot draw on (Wayland without XWayland).
QString noLivePicture();
// Message boxes, each naming the capture folder or file concerned.
QString noPicture(const QString& folder);
QString snapshotRefused(const QString& folder);
QString recordingRefused(const QString& folder);
// A recording that ended on a write error; kept says whether the file holds what came before.
QString recordingCut(const QString& file, bool kept);
} // namespace CaptureMessages
