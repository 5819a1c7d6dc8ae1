#include "PlatformChoice.h"

#include <cstring>

namespace PlatformChoice {
QByteArray forced(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
    const QByteArray& x11Display, bool platformArgument)
{
    if (!qpaPlatform.isEmpty() || platformArgument)
        return {};
    // Without XWayland there is no X server to run on: Qt's own choice stands, and the view
    // says that the live picture needs X11.
    if (!waylandDisplay.isEmpty() && !x11Display.isEmpty())
        return "xcb";
    return {};
}

QByteArray forcedForProcess(int argc, char** argv)
{
    bool platformArgument = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            platformArgument = true;
    }
    return forced(
        qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), platformArgument);
}
} // namespace PlatformChoice
