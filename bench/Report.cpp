// report: a filled examination report with four 1920x1080 pictures written as a PDF file the
// way "Save As PDF" writes it (the save dialog answered by the seam).
#include "AppSettings.h"
#include "Database.h"
#include "DlgExport.h"
#include "Scenario.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Something like a camera still: soft tissue-coloured shading with highlights and sensor
// noise, which is what makes real pictures expensive to compress.
QImage cameraLikePicture(int seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient base(QPointF(960 + 200 * seed, 540), 1100);
    base.setColorAt(0, QColor(236, 150, 130));
    base.setColorAt(0.6, QColor(170, 60, 55));
    base.setColorAt(1, QColor(40, 10, 10));
    painter.fillRect(image.rect(), base);
    QRandomGenerator rng(quint32(seed + 1));
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(QPointF(rng.bounded(1920), rng.bounded(1080)), 40 + rng.bounded(200));
        blob.setColorAt(0, QColor(255, 230, 220, 120));
        blob.setColorAt(1, QColor(120, 30, 30, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(blob);
        painter.drawEllipse(blob.center(), blob.radius(), blob.radius() * 0.7);
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(9)) - 4;
            const QRgb p = line[x];
            line[x] = qRgb(
                qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

qulonglong insertPatient()
{
    qulonglong rowid = 0;
    QEventLoop loop;
    Database::instance()->exec(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,?,?)"),
        { QStringLiteral("Maria"), QStringLiteral("Keller"), 1, QStringLiteral("1961/05/17") }, &loop,
        [&](bool ok, DbResponser* response) {
            if (ok)
                rowid = response->lastInsertId.toULongLong();
            loop.quit();
        });
    loop.exec();
    return rowid;
}

void fill(DlgExport& dialog, const char* name, const QString& text)
{
    if (auto* edit = dialog.findChild<QLineEdit*>(QLatin1String(name)))
        edit->setText(text);
}

int runReport(const QStringList& args)
{

    QString out = bench::optionValue(args, QStringLiteral("--out"));
    if (!out.isEmpty())
        out = QFileInfo(out).absoluteFilePath();
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    if (out.isEmpty())
        out = work.filePath(QStringLiteral("report.pdf"));
    if (!Database::instance()) {
        std::fprintf(stderr, "report: cannot open the database\n");
        return 1;
    }

    QStringList pictures;
    for (int i = 0; i < 4; ++i) {
        pictures << work.filePath(QStringLiteral("%1.bmp").arg(i + 1));
        cameraLikePicture(i).save(pictures.last(), "BMP");
    }

    AppSettings().setValue(QStringLiteral("Hospital/name"), QStringLiteral("St. Elisabeth Hospital"));
    DlgExport dialog;
    dialog.setInfo(insertPatient(), pictures);
    // Output is offered once the patient has been read.
    auto* save = dialog.findChild<QPushButton*>(QStringLiteral("bnPreview"));
    for (int i = 0; i < 200 && !save->isEnabled(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    fill(dialog, "leDepart", QStringLiteral("Department of Gastroenterology"));
    fill(dialog, "leA_ID", QStringLiteral("A-20931"));
    fill(dialog, "leBeid", QStringLiteral("12"));
    fill(dialog, "leDiag", QStringLiteral("Chronic gastritis"));
    fill(dialog, "leDept", QStringLiteral("Internal Medicine"));
    fill(dialog, "leDevc", QStringLiteral("ZEN-LUX HD"));
    fill(dialog, "leSymp", QStringLiteral("Epigastric pain for three weeks"));
    fill(dialog, "leBLZD", QStringLiteral("Pending"));
    fill(dialog, "leHJBW", QStringLiteral("Gastric antrum"));
    fill(dialog, "leSugg", QStringLiteral("Follow-up in six months"));
    fill(dialog, "leDoct", QStringLiteral("Dr. A. Novak"));
    dialog.findChild<QPlainTextEdit*>(QStringLiteral("teJCSJ"))
        ->setPlainText(QStringLiteral("Mucosa of the antrum mildly hyperaemic with scattered erosions; "
                                      "pylorus round and passable; no ulcer, no bleeding."));

    DlgExport::setSaveFileAsker([out](QWidget*, const QString&, const QString&) { return out; });
    QElapsedTimer timer;
    timer.start();
    dialog.onPrintAsPDF(false);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    DlgExport::setSaveFileAsker(nullptr);

    bench::print("report_pdf_ms", ms, "ms");
    bench::print("report_pdf_bytes", double(QFileInfo(out).size()), "bytes");
    QDir::setCurrent(previous);
    return QFileInfo(out).size() > 0 ? 0 : 1;
}

} // namespace

KARVEX_SCENARIO(report, ScenarioApp::Widgets, "report [--out FILE]", runReport);
