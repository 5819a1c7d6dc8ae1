// Opens a camera window on a test picture, for looking at it under a virtual display:
//   camera_showcase normal|full|exam
// exam switches to examination mode and takes three pictures into the side panel.
#include "CamGrabber.h"
#include "CameraDevices.h"
#include "FakeHidapi.h"
#include "FrmCamera.h"
#include "Language.h"
#include "Resources.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("normal");
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    TestSupport::copyShippedLanguages();
    Language::instance()->load(QDir::current().absoluteFilePath(QStringLiteral("language/en-US.ini")));

    CameraDevices::setSource([] {
        return QList<CameraDevices::Device> { { QStringLiteral("/dev/video0"),
            QStringLiteral("ZEN-LUX HD") } };
    });
    CamGrabber::setInputResolver([](const QByteArray&) {
        return qMakePair(QByteArray("lavfi"), QByteArray("testsrc2=size=1280x720:rate=30,realtime"));
    });
    FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0102);

    auto* window = new FrmCamera(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (mode == QLatin1String("exam"))
        window->enterExamination(QStringLiteral("Anna Smith"), {});
    window->show();

    QAction* snapshot = window->findChild<QAction*>(QStringLiteral("moSnap"));
    QAction* full = window->findChild<QAction*>(QStringLiteral("mvFull"));
    if (mode == QLatin1String("exam")) {
        for (int i = 1; i <= 3; ++i)
            QTimer::singleShot(500 * i, snapshot, &QAction::trigger);
    } else if (mode == QLatin1String("full")) {
        QTimer::singleShot(500, full, &QAction::trigger);
    }
    return app.exec();
}
