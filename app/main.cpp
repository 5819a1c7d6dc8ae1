#include "ArchiveQueue.h"
#include "DlgType.h"
#include "InstanceGuard.h"
#include "KarvexVersion.h"
#include "PlatformChoice.h"
#include "Resources.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    // The one command-line answer; it must work while another copy runs.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Karvex %s\n", KARVEX_VERSION);
        return 0;
    }

    // Everything Karvex writes (system.db, captures, reports, settings) is patient data or
    // next to it: other accounts on a shared clinic PC must not read it, however Karvex was
    // started. Set here rather than per file, so the recording thread's files are covered too.
    umask(S_IRWXG | S_IRWXO);

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // The live picture needs an X11 window: in a Wayland session Karvex runs on XWayland.
    const QByteArray platform = PlatformChoice::forcedForProcess(argc, argv);
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);

    // A second copy leaves at once and silently, before any window exists.
    InstanceGuard guard;
    if (!guard.claim())
        return 0;

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        karvexInitResources();
        QApplication::setApplicationName(QStringLiteral("Karvex"));
        QApplication::setApplicationVersion(QStringLiteral(KARVEX_VERSION));
        // Matches the installed karvex.desktop, so the desktop shows its icon for our windows.
        QApplication::setDesktopFileName(QStringLiteral("karvex"));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/karvex.png")));
        // Records left waiting (or failed) by the last run go to the archive by themselves.
        ArchiveQueue::instance()->start();
        auto dialog = std::make_unique<DlgType>();
        dialog->setModal(true);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->show();
        exitCode = app.exec();
        // The dialog goes before the application object, the port only after both.
        dialog.reset();
    }
    guard.release();
    return exitCode;
}
