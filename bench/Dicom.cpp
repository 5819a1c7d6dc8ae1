// dicom [--archive AET@HOST:PORT] [--clip FILE] [--seconds S]: a patient "Müller^Jürgen"
// (Patient ID "KX-BENCH-1") with a 1080p snapshot and a recording (by default S = 20 seconds
// of 1080p30 H.264 in fragmented MP4, as the recorder writes it), sent to the archive by the
// records list's own send queue. Without --archive an Orthanc is started on 127.0.0.1 for the
// run. Prints how long the snapshot took from conversion to the archive's confirmation, and
// how many recorded seconds were sent per wall-clock second.

#include "Scenario.h"

#include "AppSettings.h"
#include "ArchiveWorker.h"
#include "Database.h"
#include "DicomUid.h"
#include "OrthancServer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

extern "C" {
#include <libavutil/log.h>
}

namespace {
const QString kConnection = QStringLiteral("bench-dicom");

// The recorder's own fragmentation, so the converter reads what it meets in practice.
QString makeRecording(const QString& folder, double seconds)
{
    const QString file = folder + QStringLiteral("/Capture/recording.mp4");
    const QStringList args { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("testsrc2=size=1920x1080:rate=30"), QStringLiteral("-t"), QString::number(seconds),
        QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
        QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
        QStringLiteral("-movflags"), QStringLiteral("frag_keyframe+empty_moov+default_base_moof"), file };
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0 ? file : QString();
}

// The program's own schema, made by the database service as at a program start.
bool createSchema()
{
    Database* db = Database::instance();
    if (!db)
        return false;
    QEventLoop loop;
    QObject anchor;
    db->exec(QStringLiteral("SELECT 1"), {}, &anchor, [&loop](bool, DbResponser*) { loop.quit(); });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

bool run(const QString& sql, const QVariantList& binds = {}, QVariant* insertId = nullptr)
{
    QSqlQuery query(QSqlDatabase::database(kConnection));
    query.prepare(sql);
    for (const QVariant& bind : binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        std::fprintf(stderr, "dicom: %s\n", qPrintable(query.lastError().text()));
        return false;
    }
    if (insertId)
        *insertId = query.lastInsertId();
    return true;
}

// The patient with one examination of today and the two captures filed under it, not yet
// asked to be sent; the record ids in `records` (snapshot, recording).
bool fileCaptures(const QStringList& files, QVector<qlonglong>* records)
{
    QVariant patient;
    QVariant exam;
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (!run(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,0,'1961/02/28')"),
            { QStringLiteral("Jürgen"), QStringLiteral("Müller") }, &patient)
        || !run(QStringLiteral("INSERT INTO patient_ident (uid,pid) VALUES (?,'KX-BENCH-1')"), { patient })
        || !run(QStringLiteral("INSERT INTO exam (uid,day,study_uid,source) VALUES (?,?,?,'local')"),
            { patient, now.left(10), DicomUid::create() }, &exam))
        return false;
    for (const QString& file : files) {
        QVariant record;
        if (!run(QStringLiteral("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)"), { patient, file, now },
                &record)
            || !run(QStringLiteral("INSERT INTO recd_dicom (rid,exam) VALUES (?,?)"), { record, exam }))
            return false;
        records->append(record.toLongLong());
    }
    return true;
}

QString state(qlonglong record)
{
    QSqlQuery query(QSqlDatabase::database(kConnection));
    query.prepare(QStringLiteral("SELECT state, error FROM recd_dicom WHERE rid=?"));
    query.addBindValue(record);
    if (!query.exec() || !query.next())
        return QStringLiteral("missing");
    const QString error = query.value(1).toString();
    return query.value(0).toString() + (error.isEmpty() ? QString() : QStringLiteral(": ") + error);
}

// Marks one record waiting and lets the queue's worker send it; the wall-clock seconds taken,
// or a negative number when the record was not sent.
double send(ArchiveWorker& worker, qlonglong record)
{
    if (!run(QStringLiteral("UPDATE recd_dicom SET state='waiting' WHERE rid=?"), { record }))
        return -1;
    QElapsedTimer clock;
    clock.start();
    worker.sendPending(false);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const QString outcome = state(record);
    if (outcome != QLatin1String("sent")) {
        std::fprintf(stderr, "dicom: record %lld: %s\n", record, qPrintable(outcome));
        return -1;
    }
    return seconds;
}

int runDicom(const QStringList& args)
{
    av_log_set_level(AV_LOG_ERROR);
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()) || !QDir().mkpath(QStringLiteral("Capture"))) {
        std::fprintf(stderr, "dicom: no working folder\n");
        return 1;
    }

    DicomNode archive;
    std::unique_ptr<OrthancServer> orthanc;
    const QString given = bench::optionValue(args, QStringLiteral("--archive"));
    if (given.isEmpty()) {
        orthanc = std::make_unique<OrthancServer>(QStringLiteral("ORTHANC"));
        QString error;
        if (!orthanc->start(&error)) {
            std::fprintf(stderr, "dicom: Orthanc did not start: %s\n", qPrintable(error));
            return 1;
        }
        archive = orthanc->node();
    } else {
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("^([^@]{1,16})@(.+):(\\d{1,5})$")).match(given);
        if (!match.hasMatch()) {
            std::fprintf(stderr, "dicom: --archive takes AET@HOST:PORT\n");
            return 2;
        }
        archive = { match.captured(1), match.captured(2), quint16(match.captured(3).toUInt()) };
    }
    {
        AppSettings settings;
        settings.setDicomStationAeTitle(QStringLiteral("KARVEX"));
        settings.setArchiveAeTitle(archive.aeTitle);
        settings.setArchiveHost(archive.host);
        settings.setArchivePort(archive.port);
        settings.setDicomModality(QStringLiteral("ES"));
        settings.setHospitalName(QStringLiteral("Karvex Bench Hospital"));
    }

    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 10));
    const QString snapshot = QDir::current().absoluteFilePath(QStringLiteral("Capture/snapshot.jpg"));
    const double seconds
        = bench::optionValue(args, QStringLiteral("--seconds"), QStringLiteral("20")).toDouble();
    QString clip = bench::optionValue(args, QStringLiteral("--clip"));
    const bool ownClip = clip.isEmpty();
    if (ownClip)
        clip = makeRecording(work.path(), seconds);
    if (!picture.save(snapshot, "JPG", 90) || clip.isEmpty()) {
        std::fprintf(stderr, "dicom: no captures to send\n");
        return 1;
    }

    QVector<qlonglong> records;
    if (!createSchema()) {
        std::fprintf(stderr, "dicom: the patient database cannot be opened\n");
        return 1;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(QStringLiteral("./system.db"));
        if (!db.open() || !fileCaptures({ snapshot, clip }, &records))
            return 1;
    }

    ArchiveWorker worker;
    const double stillSeconds = send(worker, records.at(0));
    const double videoSeconds = stillSeconds < 0 ? -1 : send(worker, records.at(1));
    if (videoSeconds < 0)
        return 1;
    bench::print("dicom_still_ms", stillSeconds * 1000, "ms");
    if (ownClip)
        bench::print("dicom_video_speed", seconds / videoSeconds, "recorded_s_per_s");
    else
        bench::print("dicom_video_s", videoSeconds, "s");
    if (orthanc)
        bench::print("dicom_archive_instances", orthanc->getJson(QStringLiteral("/instances")).array().size(),
            "instances");
    return 0;
}
} // namespace

KARVEX_SCENARIO(
    dicom, ScenarioApp::Console, "dicom [--archive AET@HOST:PORT] [--clip FILE] [--seconds S]", runDicom);
