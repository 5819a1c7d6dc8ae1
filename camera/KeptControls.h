#pragma once

#include <QString>

// Puts the Video Control values kept for a camera back into the device.
namespace KeptControls {
// Writes the values kept under description into the node's controls, in the driver's order
// (an automatic mode comes before the manual value it unlocks). A value the camera refuses
// is left out and the others still go in. Returns how many were written.
int apply(const QString& nodePath, const QString& description);
} // namespace KeptControls
