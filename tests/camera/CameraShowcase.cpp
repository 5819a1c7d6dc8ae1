// Opens a camera window on a test picture, for looking at it under a virtual display:
//   camera_showcase normal|full|exam|savepath|wmarker|btnmgr|about|vidctrl [en|de]
// exam switches to examination mode and takes six pictures into the side panel; the
// dialog modes open that dialog over the window through its menu entry. The second
// argument picks the shipped language file (English by default).
#include "CamGrabber.h"
#include "CameraDevices.h"
#include "FakeHidapi.h"
#include "FrmCamera.h"
#include "Language.h"
#include "Resources.h"
#include "ScriptedV4l2.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace {
const char* openerAction(const QString& mode)
{
    if (mode == QLatin1String("savepath"))
        return "mfSave";
    if (mode == QLatin1String("wmarker"))
        return "msWmkr";
    if (mode == QLatin1String("btnmgr"))
        return "msButn";
    if (mode == QLatin1String("about"))
        return "mhAbut";
    if (mode == QLatin1String("vidctrl"))
        return "msVido";
    return nullptr;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("normal");
    const QString language = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("en");
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    TestSupport::copyShippedLanguages();
    const QString languageFile = language == QLatin1String("de") ? QStringLiteral("language/lang_de-DE.ini")
                                                                 : QStringLiteral("language/lang_en-US.ini");
    Language::instance()->load(QDir::current().absoluteFilePath(languageFile));

    CameraDevices::setSource([] {
        return QList<CameraDevices::Device> { { QStringLiteral("/dev/video0"),
            QStringLiteral("ZEN-LUX HD") } };
    });
    CamGrabber::setInputResolver([](const QByteArray&) {
        return qMakePair(QByteArray("lavfi"), QByteArray("testsrc2=size=1280x720:rate=30,realtime"));
    });
    FakeHid::addDevice("/dev/hidraw0", 0x3F1C, 0x5501, 0x0102);
    const std::shared_ptr<V4l2Script> controls = V4l2Script::typicalCamera();
    V4l2Controls::setFactory([controls](const QString&) { return std::make_unique<ScriptedV4l2>(controls); });

    auto* window = new FrmCamera(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (mode == QLatin1String("exam"))
        window->enterExamination(QStringLiteral("Anna Smith"), {});
    window->show();

    QAction* snapshot = window->findChild<QAction*>(QStringLiteral("moSnap"));
    QAction* full = window->findChild<QAction*>(QStringLiteral("mvFull"));
    if (mode == QLatin1String("exam")) {
        for (int i = 1; i <= 6; ++i)
            QTimer::singleShot(500 * i, snapshot, &QAction::trigger);
    } else if (mode == QLatin1String("full")) {
        QTimer::singleShot(500, full, &QAction::trigger);
    } else if (const char* name = openerAction(mode)) {
        QAction* opener = window->findChild<QAction*>(QLatin1String(name));
        QTimer::singleShot(500, opener, &QAction::trigger);
    }
    return app.exec();
}
