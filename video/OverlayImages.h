#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// The pictures the video view lays over the camera picture, as ARGB32 images (not
// premultiplied) on a transparent white background, ready to become SDL textures.
namespace OverlayImages {
// The text in "Arial" 16 pt, normal weight, antialiased, with a 3-pixel border around it.
QImage text(const QString& text, const QColor& colour);
// A message shown in place of the picture: light text in "Arial" 18 pt, centred, wrapped
// to at most maxWidth pixels, on a transparent background.
QImage message(const QString& text, int maxWidth);
// A 20-pixel red dot in a 24 x 24 square.
QImage recordingDot();
// The picture file (format by content) on a transparent background; null if unreadable.
QImage picture(const QString& path);
} // namespace OverlayImages
