#include "DlgType.h"
#include "InstanceGuard.h"
#include "Resources.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    // A second copy leaves at once and silently, before any window exists.
    InstanceGuard guard;
    if (!guard.claim())
        return 0;

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        karvexInitResources();
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
