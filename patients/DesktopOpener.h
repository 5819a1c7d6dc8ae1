#pragma once

#include <QString>

#include <functional>

// Opens a file with the desktop's default application for its type. Tests replace the
// launcher so that no program is started.
class DesktopOpener
{
public:
    using Launcher = std::function<bool(const QString& path)>;

    // True when the desktop accepted the file.
    static bool open(const QString& path);
    // An empty launcher restores the desktop's own.
    static void setLauncher(Launcher launcher);
};
