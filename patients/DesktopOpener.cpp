#include "DesktopOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
DesktopOpener::Launcher& launcher()
{
    static DesktopOpener::Launcher current;
    return current;
}
} // namespace

bool DesktopOpener::open(const QString& path)
{
    if (launcher())
        return launcher()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopOpener::setLauncher(Launcher l)
{
    launcher() = std::move(l);
}
