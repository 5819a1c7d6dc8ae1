#include "CaptureFormatChoice.h"

#include <algorithm>
#include <tuple>

namespace {
constexpr double kFluidFps = 25.0;
constexpr double kEnoughFps = 30.0;
// Rates are fractions; a camera's 29.97 still counts as 30.
constexpr double kRateSlack = 0.05;

bool fluid(const CaptureFormat& format)
{
    return format.fps() >= kFluidFps - kRateSlack;
}

// MJPEG first: every picture stands alone and decodes at once. Other compressed formats
// (H.264) next, raw last.
int encodingRank(const CaptureFormat& format)
{
    if (format.ffmpegInputFormat() == "mjpeg")
        return 0;
    return format.compressed ? 1 : 2;
}

// Smaller sorts first.
auto rankKey(const CaptureFormat& format)
{
    const double fps = format.fps();
    const bool isFluid = fluid(format);
    const bool withinEnough = fps <= kEnoughFps + kRateSlack;
    // Fluid rates: the highest up to 30 fps, then faster ones from the slowest up (they
    // cost bandwidth and light for nothing a recording keeps). Slow rates: highest first.
    const int rateGroup = isFluid && !withinEnough ? 1 : 0;
    const double rateOrder = isFluid && !withinEnough ? fps : -fps;
    return std::make_tuple(
        !isFluid, -format.pixels(), rateGroup, rateOrder, encodingRank(format), format.fourcc);
}
} // namespace

namespace CaptureFormatChoice {
CaptureFormats ranked(const CaptureFormats& offered)
{
    CaptureFormats readable;
    for (const CaptureFormat& format : offered) {
        if (format.isValid() && !format.ffmpegInputFormat().isEmpty() && !readable.contains(format))
            readable.append(format);
    }
    std::stable_sort(readable.begin(), readable.end(),
        [](const CaptureFormat& a, const CaptureFormat& b) { return rankKey(a) < rankKey(b); });
    return readable;
}

CaptureFormat best(const CaptureFormats& offered)
{
    const CaptureFormats order = ranked(offered);
    return order.isEmpty() ? CaptureFormat() : order.constFirst();
}

CaptureFormat choose(const CaptureFormats& offered, const CaptureFormat& wanted)
{
    if (wanted.isValid()) {
        for (const CaptureFormat& format : ranked(offered)) {
            if (format == wanted)
                return format;
        }
    }
    return best(offered);
}
} // namespace CaptureFormatChoice
