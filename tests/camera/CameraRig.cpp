#include "CameraRig.h"

#include "CamGrabber.h"
#include "CamViewer.h"
#include "DiskSpace.h"
#include "FrmCamera.h"
#include "Language.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

namespace {
const QByteArray kEnglish = R"([System]
name=English
hint=Hint
dir_err=Cannot create the capture folder
grab_eror=The camera stopped sending pictures
disk_full=The disk is full
disk_mins=Not enough disk space to record
sel_none=Select a picture first
sel_4_max=Select at most four pictures
vFreeze=Frozen
vSnapshot=Saved
vWBalance=White balance done
[FrmCamera]
FrmCamera=Examination Camera
mcName=Karvex Camera
mOptn=&Options
moSnap=Take Picture
[DlgOpener]
DlgOpener=Opener
lbGreeting=Hello
)";

const QByteArray kGerman = R"([System]
name=Deutsch
hint=Hinweis
[FrmCamera]
FrmCamera=Untersuchungskamera
mcName=Karvex Kamera
mOptn=&Optionen
moSnap=Foto
[DlgOpener]
DlgOpener=Aufrufer
lbGreeting=Hallo
)";
} // namespace

CameraRig::CameraRig()
{
    CameraDevices::setSource([this] { return devices; });
    CamGrabber::setInputResolver([this](const QByteArray& key) {
        ++opens[key];
        if (sources.contains(key))
            return qMakePair(QByteArray("lavfi"), sources.value(key));
        return qMakePair(QByteArray("video4linux2"), key);
    });
    DiskSpace::setSource([this](const QString&) {
        ++diskQueries;
        return freeBytes;
    });
    QDir(captureFolder()).removeRecursively();
}

CameraRig::~CameraRig()
{
    delete window.data();
    CameraDevices::setSource(nullptr);
    CamGrabber::setInputResolver(nullptr);
    DiskSpace::setSource(nullptr);
}

void CameraRig::installLanguages()
{
    TestSupport::writeFile(QStringLiteral("language/en-US.ini"), kEnglish);
    TestSupport::writeFile(QStringLiteral("language/de-DE.ini"), kGerman);
    Language::instance()->load(englishFile());
}

QString CameraRig::englishFile()
{
    return QDir::current().absoluteFilePath(QStringLiteral("language/en-US.ini"));
}

QString CameraRig::germanFile()
{
    return QDir::current().absoluteFilePath(QStringLiteral("language/de-DE.ini"));
}

void CameraRig::plugDefaultCamera()
{
    devices << CameraDevices::Device(QStringLiteral("/dev/video0"), QStringLiteral("ZEN-LUX HD Camera"));
    sources.insert("/dev/video0", "testsrc2=size=640x480:rate=30,realtime");
}

FrmCamera* CameraRig::open(QWidget* opener)
{
    window = new FrmCamera(opener);
    view(window)->setPresentHook([this](const AVFrame*) { ++frames; });
    return window;
}

bool CameraRig::waitForFrames(int count)
{
    const int target = frames + count;
    return QTest::qWaitFor([&] { return frames >= target; }, 10000);
}

bool CameraRig::waitForDiskTicks(int count)
{
    const int target = diskQueries + count;
    return QTest::qWaitFor([&] { return diskQueries >= target; }, 10000);
}

QStringList CameraRig::boxTexts() const
{
    QStringList texts;
    for (const MsgBoxRecorder::Box& box : boxes.boxes)
        texts << box.text;
    return texts;
}

QAction* CameraRig::action(FrmCamera* w, const char* name)
{
    return w->findChild<QAction*>(QLatin1String(name));
}

CamViewer* CameraRig::view(FrmCamera* w)
{
    return w->findChild<CamViewer*>(QStringLiteral("video"));
}

QStringList CameraRig::captures(const QString& pattern)
{
    QStringList files;
    const QFileInfoList found = QDir(captureFolder()).entryInfoList({ pattern }, QDir::Files, QDir::Name);
    for (const QFileInfo& file : found)
        files << file.absoluteFilePath();
    return files;
}

QStringList CameraRig::pictures()
{
    return captures(QStringLiteral("*.bmp")).filter(QRegularExpression(QStringLiteral("/\\d{17}\\.bmp$")));
}

QStringList CameraRig::recordings()
{
    return captures(QStringLiteral("*.mp4"));
}

QString CameraRig::captureFolder()
{
    return QDir::current().absoluteFilePath(QStringLiteral("Capture")) + QLatin1Char('/');
}
