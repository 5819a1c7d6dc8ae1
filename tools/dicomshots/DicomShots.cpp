// karvex-dicom-shots OUTDIR LANGUAGE ARCHIVE WORKLIST: ARCHIVE and WORKLIST as AET@HOST:PORT.
// Opens Settings > DICOM... with both servers set, presses both Test buttons and waits for
// their answers, then opens the worklist; saves OUTDIR/dicom-settings.png and
// OUTDIR/worklist.png. Runs in a temporary folder so no real settings are touched.

#include "AppSettings.h"
#include "DlgDicom.h"
#include "DlgWorklist.h"
#include "Language.h"
#include "TestSupport.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Node {
    QString aeTitle;
    QString host;
    int port = 0;
};

Node parse(const QString& text)
{
    const QString address = text.section(QLatin1Char('@'), 1);
    return { text.section(QLatin1Char('@'), 0, 0), address.section(QLatin1Char(':'), 0, 0),
        address.section(QLatin1Char(':'), 1).toInt() };
}

bool save(QWidget& dialog, const QString& file)
{
    QTest::qWait(500);
    const bool saved = dialog.grab().save(file);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: karvex-dicom-shots OUTDIR LANGUAGE AET@HOST:PORT AET@HOST:PORT\n");
        return 2;
    }
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    TestWorkDir workDir;
    TestSupport::copyShippedLanguages();
    Language::instance()->load(QDir::current().absoluteFilePath(
        QStringLiteral("language/lang_%1.ini").arg(QString::fromLocal8Bit(argv[2]))));
    const Node archive = parse(QString::fromLocal8Bit(argv[3]));
    const Node worklist = parse(QString::fromLocal8Bit(argv[4]));
    {
        AppSettings settings;
        settings.setDicomStationName(QStringLiteral("ENDO-2"));
        settings.setArchiveAeTitle(archive.aeTitle);
        settings.setArchiveHost(archive.host);
        settings.setArchivePort(archive.port);
        settings.setWorklistAeTitle(worklist.aeTitle);
        settings.setWorklistHost(worklist.host);
        settings.setWorklistPort(worklist.port);
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
