#pragma once

#include <QByteArray>

// Which Qt platform Karvex asks for before the application starts. The live picture is drawn
// by SDL into an X11 window, so in a Wayland session with XWayland Karvex runs as an X11
// client ("xcb"); a platform the user chose (QT_QPA_PLATFORM or -platform) is kept.
namespace PlatformChoice {
// The platform to set, or empty to leave Qt's own choice.
QByteArray forced(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay,
    const QByteArray& x11Display, bool platformArgument);
// forced() for this process's environment and arguments.
QByteArray forcedForProcess(int argc, char** argv);
} // namespace PlatformChoice
