#pragma once

#include <QLatin1String>

// Names of the files that belong to a capture, shared by the recorder that writes them and
// the windows that list and delete them.
namespace CaptureNames {
// A recording's companion picture is named by the recording's path followed by this.
inline const QLatin1String kThumbnailSuffix("-thumbnail.bmp");
} // namespace CaptureNames
