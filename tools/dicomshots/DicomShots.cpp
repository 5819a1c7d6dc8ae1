// karvex-dicom-shots OUTDIR LANGUAGE: starts an Orthanc and a worklist with three procedures
// for today on local ports, opens Settings > DICOM... with both servers set, presses both Test
// buttons and waits for their answers, then opens the worklist; saves OUTDIR/dicom-settings.png
// and OUTDIR/worklist.png. Runs in a temporary folder so no real settings are touched.

#include "AppSettings.h"
#include "DlgDicom.h"
#include "DlgWorklist.h"
#include "Language.h"
#include "OrthancServer.h"
#include "TestSupport.h"
#include "WorklistServer.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool schedule(WorklistServer& worklist, const QString& name, const QString& id, const QDate& birthday,
    const QString& sex, const QString& time, const QString& procedure, const QString& accession)
{
    WorklistEntry entry;
    entry.patientName = name;
    entry.patientId = id;
    entry.issuerOfPatientId = QStringLiteral("CLINIC");
    entry.stepDescription = procedure;
    entry.birthDate = birthday;
    entry.sex = sex;
    entry.accessionNumber = accession;
    entry.studyInstanceUid = QStringLiteral("2.25.%1").arg(qHash(id));
    entry.requestedProcedure = procedure;
    entry.stationAeTitle = QStringLiteral("KARVEX");
    entry.modality = QStringLiteral("ES");
    entry.startDate = QDate::currentDate();
    entry.startTime = time;
    return worklist.addEntry(entry);
}

// What the screen shows of the dialog with its window frame (a window manager frames it a
// moment after it is shown; without one it simply has none).
bool save(QWidget& dialog, const QString& file)
{
    if (!QTest::qWaitFor([&dialog] { return dialog.frameGeometry() != dialog.geometry(); }, 2000))
        std::fprintf(stderr, "no window frame: the picture shows the dialog alone\n");
    QTest::qWait(500);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = dialog.frameGeometry().intersected(screen->geometry());
    const bool saved = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: karvex-dicom-shots OUTDIR LANGUAGE\n");
        return 2;
    }
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    TestWorkDir workDir;
    TestSupport::copyShippedLanguages();
    Language::instance()->load(QDir::current().absoluteFilePath(
        QStringLiteral("language/lang_%1.ini").arg(QString::fromLocal8Bit(argv[2]))));
    OrthancServer archive(QStringLiteral("PACS"));
    WorklistServer worklist(QStringLiteral("WORKLIST"));
    QString error;
    if (!archive.start(&error) || !worklist.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    schedule(worklist, QStringLiteral("Müller^Jürgen"), QStringLiteral("KX-4711"), QDate(1961, 2, 28),
        QStringLiteral("M"), QStringLiteral("093000"), QStringLiteral("Gastroscopy"),
        QStringLiteral("ACC-0815"));
    schedule(worklist, QStringLiteral("Schneider^Anna Maria"), QStringLiteral("KX-5120"), QDate(1984, 11, 3),
        QStringLiteral("F"), QStringLiteral("101500"), QStringLiteral("Laryngoscopy"),
        QStringLiteral("ACC-0822"));
    schedule(worklist, QStringLiteral("Okafor^Chidi"), QStringLiteral("KX-5307"), QDate(1972, 6, 19),
        QStringLiteral("M"), QStringLiteral("134500"), QStringLiteral("Colonoscopy with biopsy"),
        QStringLiteral("ACC-0830"));
    {
        AppSettings settings;
        settings.setDicomStationName(QStringLiteral("ENDO-2"));
        settings.setArchiveAeTitle(archive.aeTitle());
        settings.setArchiveHost(QStringLiteral("127.0.0.1"));
        settings.setArchivePort(archive.dicomPort());
        settings.setWorklistAeTitle(worklist.aeTitle());
        settings.setWorklistHost(QStringLiteral("127.0.0.1"));
        settings.setWorklistPort(worklist.port());
    }

    bool ok = true;
    {
        DlgDicom dialog;
        dialog.show();
        for (const char* name : { "bnArcTest", "bnWlTest" })
            dialog.findChild<QPushButton*>(QLatin1String(name))->click();
        const bool answered = QTest::qWaitFor(
            [&dialog] {
                return dialog.findChild<QPushButton*>(QStringLiteral("bnArcTest"))->isEnabled()
                    && dialog.findChild<QPushButton*>(QStringLiteral("bnWlTest"))->isEnabled();
            },
            60000);
        if (!answered)
            std::fprintf(stderr, "the tests gave no answer within a minute\n");
        ok = save(dialog, outDir + QStringLiteral("/dicom-settings.png")) && ok;

        // The same dialog with both servers failing, to see the reasons wrap.
        dialog.findChild<QLineEdit*>(QStringLiteral("leArcAet"))->setText(QStringLiteral("NOTTHEARCHIVE"));
        dialog.findChild<QLineEdit*>(QStringLiteral("leWlPort"))
            ->setText(QString::number(worklist.port() + 1));
        for (const char* name : { "bnArcTest", "bnWlTest" })
            dialog.findChild<QPushButton*>(QLatin1String(name))->click();
        if (!QTest::qWaitFor(
                [&dialog] {
                    return dialog.findChild<QPushButton*>(QStringLiteral("bnArcTest"))->isEnabled()
                        && dialog.findChild<QPushButton*>(QStringLiteral("bnWlTest"))->isEnabled();
                },
                60000))
            std::fprintf(stderr, "the failing tests gave no answer within a minute\n");
        ok = save(dialog, outDir + QStringLiteral("/dicom-settings-failed.png")) && ok;
    }
    {
        DlgWorklist dialog;
        dialog.show();
        const bool answered = QTest::qWaitFor(
            [&dialog] { return !dialog.findChild<QProgressBar*>(QStringLiteral("pbBusy"))->isVisible(); },
            60000);
        if (!answered)
            std::fprintf(stderr, "the worklist gave no answer within a minute\n");
        ok = save(dialog, outDir + QStringLiteral("/worklist.png")) && ok;
    }
    return ok ? 0 : 1;
}
