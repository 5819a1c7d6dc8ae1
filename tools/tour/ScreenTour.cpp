// karvex-tour OUTDIR [LANGUAGE]: walks through every window and dialog of Karvex the way an
// operator does, on a test camera picture, and saves a screenshot of each as
// OUTDIR/<name>.png, plus the saved report as OUTDIR/report.pdf. LANGUAGE picks a shipped
// language file (e.g. de-DE for language/lang_de-DE.ini), to look at a translation in place.
// scripts/screenshots.sh runs it on a virtual display to make the pictures of the user
// guide. It is not a test: it waits where a person would.

#include "AppSettings.h"
#include "CamGrabber.h"
#include "CamViewer.h"
#include "Database.h"
#include "DlgExport.h"
#include "DlgPatinfo.h"
#include "DlgType.h"
#include "E2eSupport.h"
#include "FakeV4l2Camera.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "Resources.h"
#include "ScriptedV4l2.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QAction>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstdio>
#include <functional>

using namespace E2e;

namespace {
QString outDir;
int failures = 0;

void settle(int ms = 700)
{
    QTest::qWait(ms);
}

// Saves what the screen shows of the widget's window (with its frame), joined with `extra`,
// after `settleMs` for the last paints.
void shoot(QWidget* widget, const char* name, const QRect& extra = QRect(), int settleMs = 700)
{
    QWidget* window = widget->window();
    if (!QTest::qWaitForWindowExposed(window))
        std::fprintf(stderr, "%s: window not exposed\n", name);
    // The window manager frames a new window a moment after it is shown (without one, the
    // window simply has no frame).
    const bool framed
        = QTest::qWaitFor([window] { return window->frameGeometry() != window->geometry(); }, 2000);
    Q_UNUSED(framed);
    settle(settleMs);
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area = window->frameGeometry();
    if (extra.isValid())
        area = area.united(extra);
    area = area.intersected(screen->geometry());
    const QString file = outDir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file))
        std::printf("saved %s\n", qPrintable(file));
    else
        ++failures;
}

// Triggers whatever opens a modal dialog and, inside it, runs `inside` (a shot, typing ...);
// the dialog is closed afterwards unless `inside` closed it.
void inModal(const std::function<void()>& open, const std::function<void(QDialog*)>& inside)
{
    withModal<QDialog>(open, [inside](QDialog* dialog) {
        if (dialog)
            inside(dialog);
    });
}

void shootModal(QAction* action, const char* name)
{
    inModal([action] { action->trigger(); }, [name](QDialog* dialog) { shoot(dialog, name); });
}

bool waitFor(const std::function<bool()>& condition, const char* what)
{
    if (QTest::qWaitFor(condition, 30000))
        return true;
    std::fprintf(stderr, "tour: %s did not happen\n", what);
    ++failures;
    return false;
}

void fileSamplePatients()
{
    // The last table the database service makes.
    waitFor([] { return checkDb().tables().contains(QStringLiteral("exam_series")); }, "the tables");
    const struct {
        const char *first, *last;
        int sex;
        const char *birthday, *remark, *examined, *patientId;
    } patients[] = {
        { "Jonas", "Weber", 0, "1975/03/02", "Allergic to latex", "2026/11/18 09:12:40", "KX-20481" },
        { "Amélie", "Durand", 1, "1988/11/30", nullptr, "2026/11/25 14:03:11", "KX-20517" },
        { "Tomasz", "Nowak", 0, "1953/06/14", "Hearing aid; please speak clearly", "2026/12/01 10:47:05",
            "KX-19876" },
        { "Aiko", "Tanaka", 1, "1992/01/09", nullptr, nullptr, nullptr },
        { "Peter", "Olsen", 0, "1968/09/21", "Follow-up every six months", "2026/12/03 16:20:58",
            "KX-18342" },
    };
    for (const auto& p : patients) {
        const QVariant id
            = sql(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday,rmrk) VALUES (?,?,?,?,?)"),
                { QString::fromUtf8(p.first), QString::fromUtf8(p.last), p.sex, QString::fromUtf8(p.birthday),
                    p.remark ? QVariant(QString::fromUtf8(p.remark)) : QVariant() })
                  .lastInsertId();
        if (p.patientId)
            sql(QStringLiteral("INSERT INTO patient_ident (uid,pid) VALUES (?,?)"),
                { id, QString::fromUtf8(p.patientId) });
        if (p.examined) {
            sql(QStringLiteral("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)"),
                { id, QDir::current().absoluteFilePath(QStringLiteral("Capture/earlier.bmp")),
                    QString::fromUtf8(p.examined) });
        }
    }
}

int frames = 0;
void countFrames(FrmCamera* camera)
{
    camera->findChild<CamViewer*>()->setPresentHook([](const AVFrame*) { ++frames; });
}
bool waitForFrames(int count)
{
    const int target = frames + count;
    return waitFor([target] { return frames >= target; }, "the camera picture");
}

void cameraMode(DlgType& start)
{
    click(child<QPushButton>(&start, "bnCAM"));
    FrmCamera* camera = visibleWindow<FrmCamera>();
    if (!camera)
        return;
    countFrames(camera);
    waitForFrames(20);
    shoot(camera, "camera");

    // The Options menu opened from the menu bar.
    auto* options = camera->findChild<QMenu*>(QStringLiteral("mOptn"));
    camera->menuBar()->setActiveAction(options->menuAction());
    waitFor([options] { return options->isVisible(); }, "the Options menu");
    settle();
    const QRect menu = options->frameGeometry();
    const QRect corner(camera->frameGeometry().topLeft(), QPoint(menu.right() + 160, menu.bottom() + 80));
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, corner.x(), corner.y(), corner.width(), corner.height());
    if (shot.save(outDir + QStringLiteral("/camera-options.png")))
        std::printf("saved %s/camera-options.png\n", qPrintable(outDir));
    options->hide();
    settle(300);

    // Device > Format, when the tour runs on the emulated camera (which tells its formats).
    auto* device = camera->findChild<QMenu*>(QStringLiteral("mCams"));
    auto* formats = camera->findChild<QMenu*>(QStringLiteral("mcForm"));
    if (formats && formats->menuAction()->isVisible()) {
        camera->menuBar()->setActiveAction(device->menuAction());
        waitFor([device] { return device->isVisible(); }, "the Device menu");
        device->setActiveAction(formats->menuAction());
        formats->popup(device->geometry().topRight());
        waitFor([formats] { return formats->isVisible(); }, "the Format menu");
        settle();
        const QRect area = device->frameGeometry().united(formats->frameGeometry());
        const QRect shown(camera->frameGeometry().topLeft(), QPoint(area.right() + 40, area.bottom() + 40));
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
            0, shown.x(), shown.y(), shown.width(), shown.height());
        if (picture.save(outDir + QStringLiteral("/camera-format.png")))
            std::printf("saved %s/camera-format.png\n", qPrintable(outDir));
        formats->hide();
        device->hide();
        settle(300);
    }

    shootModal(child<QAction>(camera, "mfSave"), "save-path");
    shootModal(child<QAction>(camera, "msWmkr"), "watermark");
    shootModal(child<QAction>(camera, "msButn"), "key-control");
    shootModal(child<QAction>(camera, "msVido"), "video-control");
    shootModal(child<QAction>(camera, "mhAbut"), "about");
    // The mode choice takes the next choice once the camera window is gone, not merely closed.
    QPointer<FrmCamera> closing(camera);
    camera->close();
    waitFor([&closing] { return closing.isNull(); }, "the camera window gone");
    waitFor([&start] { return start.isVisible(); }, "the mode choice coming back");
}

// Inside the camera opened for the patient: pictures with camera key 1, a recording with
// camera key 2, two pictures ticked, and the report.
void examination(FrmCamera* camera, QTableWidget* records)
{
    countFrames(camera);
    waitForFrames(20);
    for (int taken = 1; taken <= 3; ++taken) {
        pressCameraKey(1);
        waitFor([&] { return records->rowCount() == taken; }, "a picture filed");
        waitForFrames(10);
    }
    const QList<SelectableImageWidget*> boxes = camera->findChildren<SelectableImageWidget*>();
    if (boxes.size() == 3) {
        boxes.at(0)->setChecked(true);
        boxes.at(2)->setChecked(true);
    }
    pressCameraKey(2);
    waitFor([camera] { return child<QAction>(camera, "moRecd")->isChecked(); }, "the recording");
    // The recording dot shows in every other second, starting with the first.
    QElapsedTimer recording;
    recording.start();
    waitFor([&recording] { return recording.elapsed() >= 4300; }, "four seconds of recording");
    shoot(camera, "examination", QRect(), 0);
    pressCameraKey(2);
    waitFor([&] { return records->rowCount() == 4; }, "the recording filed");

    inModal([camera] { click(child<QPushButton>(camera, "bnExpt")); },
        [](QDialog* report) {
            child<QLineEdit>(report, "leDepart")->setText(QStringLiteral("Department of Gastroenterology"));
            child<QLineEdit>(report, "leA_ID")->setText(QStringLiteral("A-20461"));
            child<QLineEdit>(report, "leBeid")->setText(QStringLiteral("12"));
            child<QLineEdit>(report, "leDiag")->setText(QStringLiteral("Dyspepsia"));
            child<QLineEdit>(report, "leDept")->setText(QStringLiteral("Endoscopy"));
            child<QLineEdit>(report, "leDevc")->setText(QStringLiteral("ZEN-LUX HD"));
            child<QLineEdit>(report, "leSymp")->setText(QStringLiteral("Upper abdominal pain after meals"));
            child<QPlainTextEdit>(report, "teJCSJ")
                ->setPlainText(QStringLiteral("Oesophagus: mucosa smooth, no erosions, Z-line regular.\n"
                                              "Stomach: mild erythema of the antrum, no ulcer.\n"
                                              "Duodenum: bulb and descending part unremarkable."));
            child<QLineEdit>(report, "leBLZD")->setText(QStringLiteral("Biopsy of the antrum pending"));
            child<QLineEdit>(report, "leHJBW")->setText(QStringLiteral("Antrum, greater curvature"));
            child<QLineEdit>(report, "leSugg")
                ->setText(QStringLiteral("PPI for four weeks, follow-up in three months"));
            child<QLineEdit>(report, "leDoct")->setText(QStringLiteral("Dr. Jonas Weber"));
            waitFor(
                [report] {
                    return child<QLabel>(report, "lvName")->text() == QLatin1String("Maria Lindqvist");
                },
                "the patient on the report");
            shoot(report, "report-form");
            click(child<QPushButton>(report, "bnPreview"));
        });
}

void patientDialog(DlgPatinfo* dialog)
{
    child<QLineEdit>(dialog, "leFName")->setText(QStringLiteral("Maria"));
    child<QLineEdit>(dialog, "leLName")->setText(QStringLiteral("Lindqvist"));
    child<QDateEdit>(dialog, "deBirthday")->setDate(QDate(1961, 4, 23));
    child<QRadioButton>(dialog, "rbFemale")->setChecked(true);
    child<QLineEdit>(dialog, "leStreet")->setText(QStringLiteral("Storgatan 12"));
    child<QLineEdit>(dialog, "lePostCode")->setText(QStringLiteral("114 55"));
    child<QLineEdit>(dialog, "leArea")->setText(QStringLiteral("Stockholm"));
    child<QLineEdit>(dialog, "leCountry")->setText(QStringLiteral("Sweden"));
    child<QTextEdit>(dialog, "teRmrk")->setPlainText(QStringLiteral("Follow-up after gastritis in 2023."));
    shoot(dialog, "patient-new");
    click(child<QPushButton>(dialog, "bnOK"));
    auto* patient = qobject_cast<DlgPatinfo*>(dialog);
    if (!waitFor([patient] { return patient->patientRowID() != 0; }, "the patient saved"))
        return;

    auto* tabs = child<QTabWidget>(dialog, "tabWidget");
    tabs->setCurrentIndex(1);
    auto* records = child<QTableWidget>(dialog, "list");
    click(child<QPushButton>(dialog, "bnNew"));
    QPointer<FrmCamera> camera = visibleWindow<FrmCamera>();
    if (camera)
        examination(camera, records);
    waitFor([&camera] { return camera.isNull(); }, "the camera closing");

    inModal(
        [dialog] { QMetaObject::invokeMethod(dialog, "onListDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 3)); },
        [](QDialog* remark) {
            remark->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("Antrum, slight redness"));
            shoot(remark, "remark");
            click(child<QPushButton>(remark, "bnOK"));
        });
    // The archive column as it looks once sending has begun: two pictures in the archive, one
    // waiting for it, and the recording refused by it.
    const char* states[] = { "sent", "sent", "waiting", "failed" };
    QSqlQuery filed = sql(QStringLiteral("SELECT rowid FROM recd WHERE uid=? ORDER BY rowid"),
        { QVariant(qulonglong(dialog->patientRowID())) });
    for (int i = 0; filed.next() && i < 4; ++i)
        sql(QStringLiteral("UPDATE recd_dicom SET state=?,error=? WHERE rid=?"),
            { QString::fromLatin1(states[i]),
                i == 3
                    ? QVariant(QStringLiteral("The archive answered status 0xa700 (Refused: OutOfResources)"))
                    : QVariant(),
                filed.value(0) });
    QSignalSpy loaded(dialog, &DlgPatinfo::recordsLoaded);
    dialog->load();
    waitFor([&loaded] { return loaded.count() > 0; }, "the records reloaded");
    shoot(dialog, "patient-records");
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    karvexInitResources();
    if (argc < 2) {
        std::fprintf(stderr, "usage: karvex-tour OUTDIR [LANGUAGE]\n");
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(outDir);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    TestSupport::copyShippedLanguages();
    if (argc > 2) {
        const QString file = QStringLiteral("language/lang_%1.ini").arg(QString::fromLocal8Bit(argv[2]));
        if (!QFileInfo::exists(file)) {
            std::fprintf(stderr, "karvex-tour: no %s\n", qPrintable(file));
            return 2;
        }
        Language::instance()->load(QDir::current().absoluteFilePath(file));
    }
    {
        AppSettings settings;
        settings.setHospitalName(QStringLiteral("St. Anna Hospital"));
        settings.setTextWatermark(true);
        settings.setWatermarkText(QStringLiteral("St. Anna Hospital"));
    }
    plugCamera("testsrc2=size=1280x720:rate=30,realtime");
    // Run with the V4L2 camera emulator preloaded, the tour's camera is an emulated UVC camera
    // read through FFmpeg's V4L2 input, as a real one is.
    FakeV4l2Camera emulator;
    if (FakeV4l2Camera::isPreloaded()) {
        emulator.plug(FakeV4l2Camera::standardDevice(QStringLiteral("/dev/video0")));
        CamGrabber::setInputResolver(
            [](const QByteArray& key) { return qMakePair(QByteArray("video4linux2"), key); });
    }
    const std::shared_ptr<V4l2Script> controls = V4l2Script::typicalCamera();
    V4l2Controls::setFactory([controls](const QString&) { return std::make_unique<ScriptedV4l2>(controls); });
    const QString pdf = outDir + QStringLiteral("/report.pdf");
    // Every ask gets the same path, so the captured copy is copied out, not moved.
    DlgExport::setSaveFileAsker([pdf](QWidget*, const QString&, const QString&) {
        return pdf; // NOLINT(performance-no-automatic-move)
    });
    if (!Database::instance())
        return 3;
    fileSamplePatients();

    DlgType start;
    start.show();
    shoot(&start, "mode-choice");
    cameraMode(start);

    click(child<QPushButton>(&start, "bnPAT"));
    FrmPatmgr* manager = visibleWindow<FrmPatmgr>();
    if (!manager)
        return 4;
    waitFor([manager] { return child<QTableWidget>(manager, "list")->rowCount() == 5; }, "the patient list");
    // Widened, as one does to see every column.
    manager->resize(1000, 600);
    shoot(manager, "manager");
    shootModal(child<QAction>(manager, "mfCnfg"), "hospital");
    inModal([manager] { click(child<QPushButton>(manager, "bnNew")); },
        [](QDialog* dialog) { patientDialog(qobject_cast<DlgPatinfo*>(dialog)); });
    manager->close();
    return failures == 0 ? 0 : 1;
}
