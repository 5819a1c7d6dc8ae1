#include "FrmCamera.h"
#include "ui_FrmCamera.h"

#include "AppSettings.h"
#include "CameraDevices.h"
#include "CameraFormatMenu.h"
#include "CameraPreferences.h"
#include "CaptureMessages.h"
#include "DeviceMonitor.h"
#include "DiskSpace.h"
#include "DlgAbout.h"
#include "DlgBtnMgr.h"
#include "DlgSavePath.h"
#include "DlgVidCtrl.h"
#include "DlgWMarker.h"
#include "KeptControls.h"
#include "KeyboardKeyFilter.h"
#include "Language.h"
#include "LanguageMenu.h"
#include "MsgBox.h"
#include "SelectableImageWidget.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryFile>
#include <QWindow>

namespace {
// Below this much free space a recording is refused, and a running one is stopped before
// the disk fills up mid-file.
constexpr qint64 kDiskLimitBytes = 524288000;

// Only these camera models are offered; the match is case-sensitive.
const char* const kSupportedModels[] = { "ZEN-LUX", "ORA-LUX", "TUBO-LUX" };

int supportedModelPosition(const QString& description)
{
    int position = -1;
    for (const char* model : kSupportedModels) {
        position = description.indexOf(QLatin1String(model), 0, Qt::CaseSensitive);
        if (position >= 0)
            break;
    }
    return position;
}

QString timeStamp(const char* format)
{
    return QDateTime::currentDateTime().toString(QLatin1String(format));
}
// Recording names have whole seconds only: a second recording started within the same
// second would overwrite the first one's files, so it gets a counter instead.
QString unusedRecordingName(const QString& stem)
{
    QString path = stem + QStringLiteral(".mp4");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("_%1.mp4").arg(n);
    return path;
}

// Whether a file can be written into the folder (it exists, is writable and has room).
bool folderAcceptsFiles(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral(".karvex-probe-XXXXXX"));
    return probe.open() && probe.write("0", 1) == 1 && probe.flush();
}
} // namespace

FrmCamera::FrmCamera(QWidget* openerWindow)
    : QMainWindow(nullptr)
    , opener(openerWindow)
    , ui(std::make_unique<Ui::FrmCamera>())
    , cameraGroup(new QActionGroup(this))
    , languageGroup(new QActionGroup(this))
{
    cameraGroup->setExclusive(true);
    languageGroup->setExclusive(true);
    ui->setupUi(this);
    // Few pictures stay at the top of the panel instead of spreading over its height.
    ui->verticalLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    formatMenu = new CameraFormatMenu(ui->mCams);
    connect(formatMenu, &CameraFormatMenu::formatChosen, this, &FrmCamera::onFormatChosen);
    connectActions();

    applyWatermark();
    connect(ui->msWmkr, &QAction::triggered, this, &FrmCamera::onSetsWmkr);

    LanguageMenu::build(ui->msLang, languageGroup);
    const QList<QAction*> languageEntries = languageGroup->actions();
    for (QAction* entry : languageEntries)
        entry->setParent(this);
    connect(languageGroup, &QActionGroup::triggered, this, &FrmCamera::onLangChge);
    connect(ui->mhAbut, &QAction::triggered, this, &FrmCamera::onHelpAbut);

    buildStatusBar();

    onDiskUpdate();
    connect(&diskTimer, &QTimer::timeout, this, &FrmCamera::onDiskUpdate);
    diskTimer.start(1000);

    connect(&keyLink, &UsbCamHID::btnClicked, this, &FrmCamera::hidClicked);
    keyboardKeys = new KeyboardKeyFilter(this);
    connect(keyboardKeys, &KeyboardKeyFilter::commandPressed, this, &FrmCamera::runCommand);
    connect(&recorder, &CamRecorder::writeFailed, this, &FrmCamera::onRecordingFailed, Qt::QueuedConnection);
    connect(ui->video, &CamViewer::keyPressed, this, &FrmCamera::videoKeyPressed);
    connect(ui->video, &CamViewer::dblClicked, this, &FrmCamera::videoDblClicked);
    connect(cameraGroup, &QActionGroup::triggered, this, &FrmCamera::onCamrOpen);
    connect(ui->bnExpt, &QPushButton::clicked, this, &FrmCamera::onExpertExpt);
    connect(ui->bnBack, &QPushButton::clicked, this, &FrmCamera::onExpertBack);
    // The Device menu and the camera keys follow what is plugged in, as Refresh does.
    deviceMonitor = new DeviceMonitor(this);
    connect(deviceMonitor, &DeviceMonitor::devicesChanged, this, [this](const QStringList& removedNodes) {
        reconnect.noteRemoved(currentCamera, removedNodes);
        refreshDevices(false);
    });

    retranslate();
    onCamrRefr(false);

    ui->sider->hide();
    statusBar()->setVisible(true);
    setUnifiedTitleAndToolBarOnMac(true);
    setWindowState(Qt::WindowMaximized);
}

FrmCamera::~FrmCamera()
{
    // Normally closeEvent has already stopped everything; a window destroyed without being
    // closed must still not leave the recorder reading from a deleted view.
    diskTimer.stop();
    recorder.stop();
    ui->video->setGrabber(nullptr);
    grabber.close();
    qDeleteAll(cameraGroup->actions());
}

void FrmCamera::connectActions()
{
    connect(ui->mfSave, &QAction::triggered, this, &FrmCamera::onFileSave);
    connect(ui->mfExit, &QAction::triggered, this, &FrmCamera::onFileExit);
    connect(ui->mcRefr, &QAction::triggered, this, &FrmCamera::onCamrRefr);
    connect(ui->mvTopm, &QAction::triggered, this, &FrmCamera::onViewTopm);
    connect(ui->mvFull, &QAction::triggered, this, &FrmCamera::onViewFull);
    // Default shows the picture as it comes, the others mirror it vertically or horizontally.
    const struct {
        QAction* entry;
        bool unflipped;
        bool horizontal;
    } flips[] = { { ui->mvpDeft, true, false }, { ui->mvpVert, false, false }, { ui->mvpHorz, false, true } };
    for (const auto& flip : flips) {
        connect(flip.entry, &QAction::triggered, this,
            [this, flip] { showFlipped(flip.entry, flip.unflipped, flip.horizontal); });
    }
    const struct {
        QAction* entry;
        double degrees;
    } rotations[] = { { ui->mvpRoat0, 0.0 }, { ui->mvpRoat90, 90.0 }, { ui->mvpRoat180, 180.0 },
        { ui->mvpRoat270, 270.0 } };
    for (const auto& rotation : rotations) {
        connect(rotation.entry, &QAction::triggered, this,
            [this, rotation] { showRotated(rotation.entry, rotation.degrees); });
    }
    connect(ui->moSnap, &QAction::triggered, this, &FrmCamera::onOptnSnap);
    connect(ui->moRecd, &QAction::triggered, this, &FrmCamera::onOptnRecd);
    connect(ui->moFrez, &QAction::triggered, this, &FrmCamera::onOptnFrez);
    connect(ui->moZmin, &QAction::triggered, this, &FrmCamera::onOptnZmin);
    connect(ui->moZout, &QAction::triggered, this, &FrmCamera::onOptnZout);
    connect(ui->msButn, &QAction::triggered, this, &FrmCamera::onSetsButn);
    connect(ui->msVido, &QAction::triggered, this, &FrmCamera::onSetsVido);
}

void FrmCamera::buildStatusBar()
{
    const auto caption = [](const char* name, const char* text) {
        auto* label = new QLabel(QLatin1String(text));
        label->setObjectName(QLatin1String(name));
        return label;
    };
    resolutionLabel = new QLabel;
    resolutionLabel->setObjectName(QStringLiteral("resolutionLabel"));
    firmwareLabel = new QLabel;
    diskLabel = new QLabel;
    statusBar()->addWidget(caption("sbCAM", "Camera:"), 0);
    statusBar()->addWidget(resolutionLabel, 1);
    statusBar()->addWidget(caption("sbHID", "Firmware:"), 0);
    statusBar()->addWidget(firmwareLabel, 1);
    statusBar()->addWidget(caption("sbDSK", "Disk:"), 0);
    statusBar()->addWidget(diskLabel, 1);
}

void FrmCamera::applyWatermark()
{
    const AppSettings settings;
    ui->video->setWatermark(
        settings.isTextWatermark(), settings.watermarkText(), settings.watermarkPicture());
}

void FrmCamera::setFirmware(unsigned short release)
{
    firmwareLabel->setText(release ? QString::asprintf("V%X.%02X", release >> 8, release & 0xFF) : QString());
}

QMap<QString, QString> FrmCamera::enumerateCameras() const
{
    QMap<QString, QString> cameras;
    const QList<CameraDevices::Device> devices = CameraDevices::list();
    for (const CameraDevices::Device& device : devices) {
        QString key = device.first;
        key.replace(QLatin1Char(':'), QLatin1Char('_'));
        cameras.insert(key, device.second);
    }
    return cameras;
}

void FrmCamera::retranslate()
{
    LanguageMenu::retranslateChain(this, opener);
    const QString cameraTitle = Language::instance()->text(objectName(), QStringLiteral("mcName"));
    const QList<QAction*> cameras = cameraGroup->actions();
    for (QAction* camera : cameras)
        camera->setText(cameraTitle);
    ui->video->setOverlayTexts(Language::systemText("vFreeze"), Language::systemText("vSnapshot"),
        Language::systemText("vWBalance"));
    formatMenu->retranslate();
    showCameraState();
}

void FrmCamera::onFileSave(bool)
{
    DlgSavePath dialog(this);
    dialog.exec();
}

void FrmCamera::onFileExit(bool)
{
    close();
}

void FrmCamera::onCamrRefr(bool)
{
    refreshDevices(true);
}

void FrmCamera::refreshDevices(bool byOperator)
{
    setFirmware(keyLink.openDevices());

    const QList<QAction*> previous = cameraGroup->actions();
    for (QAction* entry : previous) {
        cameraGroup->removeAction(entry);
        ui->mCams->removeAction(entry);
        entry->deleteLater();
    }

    const QString cameraTitle = Language::instance()->text(objectName(), QStringLiteral("mcName"));
    const QMap<QString, QString> cameras = enumerateCameras();
    QList<CameraDevices::Device> offered;
    for (auto it = cameras.cbegin(); it != cameras.cend(); ++it) {
        const int position = supportedModelPosition(it.value());
        if (position < 0) {
            qDebug().noquote() << "indexof:" << position << it.key() << it.value();
            continue;
        }
        auto* entry = new QAction(cameraTitle, nullptr);
        entry->setData(it.key());
        entry->setProperty("description", it.value());
        entry->setCheckable(true);
        entry->setChecked(it.key() == currentCamera);
        ui->mCams->insertAction(formatMenu->firstAction(), entry);
        cameraGroup->addAction(entry);
        offered << CameraDevices::Device(it.key(), it.value());
    }

    // A camera that is still present keeps running and a lost one that is back is reopened;
    // otherwise Refresh opens the first offered camera, while a camera pulled out is kept (and
    // shows nothing) until it comes back or another one is chosen.
    const int chosen = reconnect.pick(offered, currentCamera, currentDescription, byOperator);
    if (chosen >= 0) {
        QAction* entry = cameraGroup->actions().at(chosen);
        entry->setChecked(true);
        onCamrOpen(entry);
    }
}

void FrmCamera::onCamrOpen(QAction* action)
{
    currentCamera = action ? action->data().toString() : QString();
    currentDescription = action ? action->property("description").toString() : QString();
    openCurrentCamera();
}

void FrmCamera::onFormatChosen(const CaptureFormat& format)
{
    CameraPreferences::setFormat(currentDescription, format);
    openCurrentCamera();
}

void FrmCamera::openCurrentCamera()
{
    // A recording cannot go on across a reopen: the picture may change its size.
    if (ui->moRecd->isChecked())
        ui->moRecd->trigger();
    ui->video->setGrabber(nullptr);
    grabber.close();
    // The driver forgets control values on a replug: the operator's are put back first.
    KeptControls::apply(currentCamera, currentDescription);
    const QByteArray deviceKey = currentCamera.toLatin1();
    // A camera that could not be opened is not attached: the view says why instead.
    const bool opened = grabber.open(deviceKey.constData(), CameraPreferences::format(currentDescription));
    reconnect.setLost(!opened);
    if (opened)
        ui->video->setGrabber(&grabber);
    formatMenu->setFormats(grabber.offeredFormats(), grabber.format());
    showCameraState();
}

void FrmCamera::showCameraState()
{
    showCameraSize();
    // Captures still work; only the picture cannot be shown on this display.
    if (!CamViewer::canShowLivePicture())
        ui->video->setMessage(CaptureMessages::noLivePicture());
}

void FrmCamera::showCameraSize()
{
    if (grabber.width() < 1) {
        resolutionLabel->clear();
        if (currentCamera.isEmpty())
            ui->video->setMessage(CaptureMessages::noCamera());
        else if (grabber.openError() != 0)
            ui->video->setMessage(CaptureMessages::cameraUnavailable(grabber.openError()));
        return;
    }
    ui->video->setMessage(QString());
    const double fps = grabber.frameRate();
    QString text = QStringLiteral("%1x%2").arg(grabber.width()).arg(grabber.height());
    const QString pattern = Language::systemText("fmt_status");
    if (fps > 0)
        text = pattern.isEmpty()
            ? text + QStringLiteral(" @ %1 fps").arg(CaptureFormat::fpsText(fps))
            : pattern.arg(grabber.width()).arg(grabber.height()).arg(CaptureFormat::fpsText(fps));
    resolutionLabel->setText(text);
}

void FrmCamera::onViewTopm(bool checked)
{
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, checked);
    // setWindowFlags would recreate the native window and, with it, the view's native child
    // that SDL draws into. The window system is told through the existing window instead.
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle())
        window->setFlags(flags);
}

void FrmCamera::onViewFull(bool)
{
    if (isFullScreen()) {
        showNormal();
        ui->sider->setVisible(examMode);
        menuBar()->show();
        statusBar()->show();
    } else {
        showFullScreen();
        ui->sider->hide();
        menuBar()->hide();
        statusBar()->hide();
    }
    ui->mvFull->setChecked(isFullScreen());
}

QList<QAction*> FrmCamera::flipActions() const
{
    return { ui->mvpDeft, ui->mvpVert, ui->mvpHorz };
}

QList<QAction*> FrmCamera::rotationActions() const
{
    return { ui->mvpRoat0, ui->mvpRoat90, ui->mvpRoat180, ui->mvpRoat270 };
}

void FrmCamera::checkOnly(QAction* chosen, const QList<QAction*>& set)
{
    for (QAction* action : set)
        action->setChecked(action == chosen);
}

void FrmCamera::showFlipped(QAction* entry, bool unflipped, bool horizontal)
{
    ui->video->setFlip(unflipped, horizontal);
    checkOnly(entry, flipActions());
}

void FrmCamera::showRotated(QAction* entry, double degrees)
{
    ui->video->setRotation(degrees);
    checkOnly(entry, rotationActions());
}

QString FrmCamera::captureFolder(QWidget* parent)
{
    QString folder = AppSettings().savePath();
    if (folder.isEmpty()) {
        folder = QDir::cleanPath(QDir::current().absolutePath() + QStringLiteral("/Capture"));
        if (!QFileInfo::exists(folder))
            QDir::current().mkdir(QStringLiteral("Capture"));
    }
    // File names are appended directly, so a hand-edited folder without the separator
    // would otherwise put captures beside the folder instead of into it.
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (QFileInfo(folder).isDir())
        return folder;
    if (parent)
        MsgBox::information(parent, QStringLiteral("dir_err"));
    return QString();
}

bool FrmCamera::takeSnapshot()
{
    const QString folder = captureFolder(this);
    if (folder.isEmpty())
        return false;
    if (ui->video->sourceWidth() < 1) {
        MsgBox::warningText(this, CaptureMessages::noPicture(folder));
        return false;
    }
    const QString path = folder + timeStamp("yyyyMMddhhmmsszzz") + QStringLiteral(".bmp");
    if (!recorder.snapshot(ui->video, path)) {
        QFile::remove(path);
        MsgBox::warningText(this,
            folderAcceptsFiles(folder) ? CaptureMessages::noPicture(folder)
                                       : CaptureMessages::snapshotRefused(folder));
        return false;
    }
    // In an examination every picture belongs to the patient, also one taken in full screen
    // while the side panel is hidden; outside an examination pictures go to the folder only.
    if (examMode) {
        addCapturedItem(path);
        emit snap(path);
    }
    return true;
}

void FrmCamera::onOptnSnap(bool)
{
    takeSnapshot();
}

void FrmCamera::startRecording()
{
    // Not recording until the recorder runs: the disk watch keeps ticking while a message
    // box below is open and must not take this for a running recording.
    ui->moRecd->setChecked(false);
    const QString folder = captureFolder(this);
    if (folder.isEmpty())
        return;
    if (DiskSpace::freeBytes(folder) < kDiskLimitBytes) {
        MsgBox::warning(this, QStringLiteral("disk_mins"));
        return;
    }
    if (ui->video->sourceWidth() < 1) {
        MsgBox::warningText(this, CaptureMessages::noPicture(folder));
        return;
    }
    if (recorder.start(ui->video, unusedRecordingName(folder + timeStamp("yyyyMMddhhmmss"))))
        ui->moRecd->setChecked(true);
    else
        MsgBox::warningText(this, CaptureMessages::recordingRefused(folder));
}

void FrmCamera::onRecordingFailed(const QString& file, bool kept)
{
    // Stopped through the action, so that the files that exist are handed on as usual; a
    // report arriving after the operator started a new recording leaves that one alone.
    if (ui->moRecd->isChecked() && recorder.hasFailed())
        ui->moRecd->trigger();
    MsgBox::warningText(this, CaptureMessages::recordingCut(file, kept));
}

void FrmCamera::stopRecording()
{
    const QStringList files = recorder.stop();
    if (!files.isEmpty())
        emit record(files);
}

void FrmCamera::onOptnRecd(bool checked)
{
    if (checked)
        startRecording();
    else
        stopRecording();
}

void FrmCamera::onOptnFrez(bool checked)
{
    if (checked)
        takeSnapshot();
    ui->video->setFreeze(checked);
}

void FrmCamera::onOptnZmin(bool)
{
    ui->video->zoomStep(true);
}

void FrmCamera::onOptnZout(bool)
{
    ui->video->zoomStep(false);
}

void FrmCamera::hidClicked(int id)
{
    if (id != 1 && id != 2) {
        ui->video->showWhiteBalanceLabel();
        return;
    }
    // Read on every press, so a new assignment in the key control dialog applies at once.
    runCommand(AppSettings().cameraKeyCommand(id));
}

void FrmCamera::runCommand(int command)
{
    const QList<QAction*> commands = { ui->moSnap, ui->moRecd, ui->moFrez, ui->moZmin, ui->moZout };
    if (command >= 0 && command < commands.size())
        commands.at(command)->trigger();
}

void FrmCamera::videoKeyPressed(int key)
{
    if (key == Qt::Key_F12 || key == Qt::Key_Escape)
        ui->mvFull->trigger();
    else if (key == Qt::Key_Space)
        ui->moFrez->trigger();
}

void FrmCamera::videoDblClicked()
{
    ui->mvFull->trigger();
}

void FrmCamera::onDiskUpdate()
{
    // Each report stops the recording before its message box opens: the box is modal and
    // the timer keeps ticking, so the next tick must find nothing left to report.
    if (grabber.takeGrabError()) {
        reconnect.setLost(true);
        resolutionLabel->clear();
        if (ui->moRecd->isChecked())
            ui->moRecd->trigger();
        MsgBox::warning(this, QStringLiteral("grab_eror"));
    }
    const qint64 freeBytes = DiskSpace::freeBytes(captureFolder(nullptr));
    if (freeBytes < kDiskLimitBytes && ui->moRecd->isChecked()) {
        ui->moRecd->trigger();
        MsgBox::warning(this, QStringLiteral("disk_full"));
    }
    diskLabel->setText(DiskSpace::freeText(freeBytes));
}

void FrmCamera::onSetsButn(bool)
{
    DlgBtnMgr dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        keyboardKeys->reload();
}

void FrmCamera::onSetsVido(bool)
{
    DlgVidCtrl::openFor(this, currentCamera,
        Language::instance()->text(objectName(), QStringLiteral("mcName")), currentDescription);
}

void FrmCamera::onSetsWmkr(bool)
{
    DlgWMarker dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        applyWatermark();
}

void FrmCamera::onLangChge(QAction* action)
{
    if (LanguageMenu::load(action))
        retranslate();
}

void FrmCamera::onHelpAbut(bool)
{
    DlgAbout dialog(this);
    dialog.exec();
}

void FrmCamera::enterExamination(const QString& heading, const QStringList& pictures)
{
    examMode = true;
    ui->sider->setVisible(true);
    for (const QString& path : pictures) {
        if (!path.isEmpty())
            addCapturedItem(path);
    }
    ui->lbName->setText(heading);
}

void FrmCamera::addCapturedItem(const QString& path)
{
    auto* box = new SelectableImageWidget;
    box->setImage(path);
    box->setCheckable(true);
    box->setChecked(false);
    box->setFixedSize(162, 108);
    box->setProperty("path", path);
    ui->verticalLayout->addWidget(box);
}

void FrmCamera::onExpertExpt(bool)
{
    QStringList paths;
    const QObjectList children = ui->body->children();
    for (QObject* child : children) {
        auto* box = qobject_cast<SelectableImageWidget*>(child);
        if (!box || !box->isChecked())
            continue;
        const QString path = box->property("path").toString();
        if (!path.isEmpty() && QFileInfo(path).isFile())
            paths << path;
    }
    if (paths.isEmpty()) {
        MsgBox::warning(this, QStringLiteral("sel_none"));
    } else if (paths.size() > 4) {
        MsgBox::warning(this, QStringLiteral("sel_4_max"));
    } else {
        close();
        emit report(paths);
    }
}

void FrmCamera::onExpertBack(bool)
{
    close();
}

void FrmCamera::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (ui->moRecd->isChecked())
        ui->moRecd->trigger();
    diskTimer.stop();
    // A closed window must not open a camera that is plugged in before it is deleted.
    disconnect(deviceMonitor, nullptr, this, nullptr);
    ui->video->setGrabber(nullptr);
    grabber.close();
    showCameraState();
    if (opener)
        opener->show();
}
