// records [--pictures N]: a patient followed for a long time, with N full-size 1080p
// picture records; times the records list of the patient information dialog.

#include "Scenario.h"

#include "Database.h"
#include "DlgPatinfo.h"
#include "Resources.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
const int repeats = 7;

bool waitFor(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs step and returns the milliseconds until the dialog's list was rebuilt and the
// replaced rows were deleted.
double timeLoad(DlgPatinfo& dialog, const std::function<void()>& step)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&dialog, &DlgPatinfo::recordsLoaded, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    step();
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return ms;
}

// N distinct 1920 x 1080 pictures as the camera writes them (24-bit BMP).
QStringList writePictures(int count)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");

    QDir().mkpath(QStringLiteral("Capture"));
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir::current().absoluteFilePath(
            QStringLiteral("Capture/20240101%1.bmp").arg(i, 9, 10, QLatin1Char('0')));
        // Different content in every file, so that nothing can be shared between them.
        bytes[bytes.size() - 1 - (i % 1000)] = char(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        paths << path;
    }
    return paths;
}

qlonglong filePatient(const QStringList& pictures)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(QStringLiteral("./system.db"));
    if (!db.open())
        return 0;
    QSqlQuery query(db);
    query.exec(
        QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Long','Followed',0,'1950/01/01')"));
    const qlonglong patient = query.lastInsertId().toLongLong();
    db.transaction();
    query.prepare(QStringLiteral("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)"));
    for (const QString& path : pictures) {
        query.addBindValue(patient);
        query.addBindValue(path);
        query.addBindValue(QStringLiteral("2024/01/01 10:00:00"));
        query.exec();
    }
    db.commit();
    return patient;
}

int run(const QStringList& args)
{
    const int pictures
        = bench::optionValue(args, QStringLiteral("--pictures"), QStringLiteral("200")).toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    karvexInitResources();
    QTemporaryDir work(QDir::temp().absoluteFilePath(QStringLiteral("karvex-records-XXXXXX")));
    QDir::setCurrent(work.path());

    if (!Database::instance()
        || !waitFor([] { return QSqlDatabase::database().tables().contains(QStringLiteral("recd")); })) {
        std::fprintf(stderr, "records: no database\n");
        return 1;
    }
    const QStringList paths = writePictures(pictures);
    const qlonglong patient = filePatient(paths);
    if (paths.size() != pictures || patient == 0) {
        std::fprintf(stderr, "records: could not prepare %d pictures\n", pictures);
        return 1;
    }

    DlgPatinfo dialog(nullptr);
    dialog.show();
    bench::print("records_first_load_ms", timeLoad(dialog, [&] { dialog.setRowID(quint64(patient)); }), "ms");

    std::vector<double> reloads;
    reloads.reserve(size_t(repeats));
    for (int i = 0; i < repeats; ++i)
        reloads.push_back(timeLoad(dialog, [&] { dialog.load(); }));
    bench::print("records_reload_ms_median", bench::median(reloads), "ms");
    bench::print("records_reload_ms_max", bench::percentile(reloads, 1.0), "ms");

    // What the operator waits for after each snapshot: the new picture filed, the list rebuilt.
    const QString extra = QDir::current().absoluteFilePath(QStringLiteral("Capture/extra.bmp"));
    QFile::copy(paths.first(), extra);
    bench::print("records_file_snapshot_ms", timeLoad(dialog, [&] { dialog.addList(extra); }), "ms");
    return 0;
}
} // namespace

KARVEX_SCENARIO(records, ScenarioApp::Widgets,
    "records [--pictures N]   reload of a patient's records list (default 200 1080p pictures)", run);
