#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CamGrabber;

// A 1920x1080 30 fps MJPEG 4:2:2 clip of ten seconds, as a UVC camera sends it, made in
// `folder` by the ffmpeg program. Its path, or empty on failure.
QString makeCameraClip(const QString& folder);

// A clip played like a live camera: a lavfi graph (for CamGrabber::openInput("lavfi", ...))
// that reads the clip in a loop at its own frame rate. Without a clip, a 1920x1080 30 fps
// MJPEG 4:2:2 clip, as a UVC camera sends it, is made in `folder` first. Empty on failure.
QByteArray pacedClipGraph(const QString& clip, const QString& folder);

// Opens `grabber` on the clip named by --clip in `args` (made in `folder` when absent), played
// like a live camera. On failure says so on stderr, naming `scenario`, and returns false.
bool openPacedClip(CamGrabber& grabber, const QStringList& args, const QString& folder, const char* scenario);
