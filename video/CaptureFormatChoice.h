#pragma once

#include "CaptureFormat.h"

// Which of a camera's formats to capture in. The default is the largest picture the camera
// sends at a fluid rate (25 fps or more, the highest such rate up to 30 fps); for the same
// size and rate MJPEG before other compressed formats and those before raw ones, since raw
// pictures of that size rarely fit through USB 2 at that rate. Where no size is fluid, the
// largest size at its highest rate.
namespace CaptureFormatChoice {
// The formats FFmpeg can read, most useful first: the default choice leads.
CaptureFormats ranked(const CaptureFormats& offered);
// The default choice; invalid when nothing readable is offered.
CaptureFormat best(const CaptureFormats& offered);
// wanted when it is offered, else the default choice.
CaptureFormat choose(const CaptureFormats& offered, const CaptureFormat& wanted);
} // namespace CaptureFormatChoice
