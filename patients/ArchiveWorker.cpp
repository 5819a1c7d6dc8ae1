#include "ArchiveWorker.h"

#include "AppSettings.h"
#include "DateFormats.h"
#include "DicomStore.h"
#include "DicomUid.h"
#include "RecordThumbnail.h"
#include "StillConverter.h"
#include "VideoConverter.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

namespace {

// Files made and sent per association: bounds the temporary disk space of a long queue.
constexpr int kBatch = 10;

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    query.exec();
    return query;
}

QString kindOf(const QString& path)
{
    return RecordThumbnail::isPicture(path) ? QStringLiteral("picture") : QStringLiteral("video");
}

// The archive could not be reached at all: the records are not at fault and stay waiting.
bool unreachable(const DicomStatus& status)
{
    return status.failure == DicomStatus::Refused || status.failure == DicomStatus::NoAnswer;
}

// The reason kept on a record. A rejected AE title is only fixed in the settings on one side or
// the other, so the reason names both titles as this station used them.
QString reasonOf(const DicomStatus& status, const QString& calling, const DicomNode& archive)
{
    if (status.failure != DicomStatus::AeTitleRejected)
        return status.detail;
    return status.detail
        + QStringLiteral(" (calling AE title \"%1\", called AE title \"%2\")").arg(calling, archive.aeTitle);
}

} // namespace

ArchiveWorker::ArchiveWorker()
    : connectionName(QStringLiteral("archive-queue-%1").arg(quintptr(this)))
{ }

ArchiveWorker::~ArchiveWorker()
{
    if (db.isValid()) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

bool ArchiveWorker::openDatabase()
{
    if (db.isOpen())
        return true;
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(QStringLiteral("./system.db"));
        // The windows write through their own connection meanwhile.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    return db.open();
}

void ArchiveWorker::sendPending(bool withFailed)
{
    if (!openDatabase())
        return;
    QVector<qlonglong> pending;
    QSqlQuery query = run(db,
        QStringLiteral(
            "SELECT rid FROM recd_dicom WHERE state='waiting' OR (?=1 AND state='failed') ORDER BY rid"),
        { withFailed ? 1 : 0 });
    while (query.next())
        pending << query.value(0).toLongLong();
    query.finish();
    if (pending.isEmpty())
        return;

    AppSettings settings;
    const DicomNode archive { settings.archiveAeTitle(), settings.archiveHost(),
        quint16(settings.archivePort()) };
    const QString calling = settings.dicomStationAeTitle();
    const int timeout = settings.dicomTimeoutSeconds();
    if (archive.host.isEmpty() || archive.aeTitle.isEmpty() || archive.port == 0) {
        for (qlonglong rid : qAsConst(pending))
            store(rid, QStringLiteral("waiting"), QStringLiteral("No archive is configured."));
        emit statesChanged();
        return;
    }
    const QString modality = settings.dicomModality();
    const QString station = settings.dicomStationName();
    const QString institution = settings.hospitalName();

    for (int first = 0; first < pending.size(); first += kBatch) {
        QTemporaryDir folder;
        QStringList files;
        QVector<qlonglong> sent;
        for (int i = first; i < qMin(first + kBatch, int(pending.size())); ++i) {
            const qlonglong rid = pending.at(i);
            DicomHeader header;
            header.modality = modality;
            header.stationName = station;
            header.institutionName = institution;
            QString path;
            QString error = folder.isValid() ? prepare(rid, &header, &path)
                                             : QStringLiteral("No temporary folder: ") + folder.errorString();
            const QString file = folder.filePath(QString::number(rid) + QStringLiteral(".dcm"));
            if (error.isEmpty()) {
                error = kindOf(path) == QLatin1String("picture")
                    ? StillConverter::convert(path, header, file)
                    : VideoConverter::convert(path, header, file);
            }
            if (!error.isEmpty()) {
                store(rid, QStringLiteral("failed"), error);
                continue;
            }
            files << file;
            sent << rid;
        }
        const QVector<DicomStatus> results
            = files.isEmpty() ? QVector<DicomStatus>() : DicomStore::send(calling, archive, files, timeout);
        for (int i = 0; i < sent.size(); ++i) {
            const DicomStatus status = results.value(i, { DicomStatus::Failed, QStringLiteral("No answer") });
            if (status.ok())
                store(sent.at(i), QStringLiteral("sent"), QString());
            else
                store(sent.at(i), unreachable(status) ? QStringLiteral("waiting") : QStringLiteral("failed"),
                    reasonOf(status, calling, archive));
        }
        emit statesChanged();
        // Nothing else would get through either; the next pass tries again.
        if (!results.isEmpty() && unreachable(results.first()))
            return;
    }
}

QString ArchiveWorker::prepare(qlonglong rid, DicomHeader* header, QString* path)
{
    QSqlQuery row = run(db,
        QStringLiteral(
            "SELECT r.fil,r.dtm,d.exam,d.sop_uid,u.fnam,u.lnam,u.sex,u.bday,p.pid,p.issuer,"
            "e.study_uid,e.accession,e.procedure,e.day FROM recd_dicom d "
            "JOIN recd r ON r.rowid=d.rid JOIN user u ON u.rowid=r.uid "
            "LEFT JOIN patient_ident p ON p.uid=r.uid LEFT JOIN exam e ON e.rowid=d.exam WHERE d.rid=?"),
        { rid });
    if (!row.next())
        return QStringLiteral("The record or its patient is no longer in the database.");
    *path = row.value(0).toString();
    const qlonglong exam = row.value(2).toLongLong();
    QString sop = row.value(3).toString();
    header->acquisitionDateTime = QDateTime::fromString(row.value(1).toString(), DateFormats::kDateTime);
    header->firstName = row.value(4).toString();
    header->lastName = row.value(5).toString();
    header->sex = row.value(6).toInt() == 0 ? QStringLiteral("M") : QStringLiteral("F");
    header->birthDate = QDate::fromString(row.value(7).toString(), DateFormats::kDate);
    header->patientId = row.value(8).toString();
    header->issuerOfPatientId = row.value(9).toString();
    header->studyInstanceUid = row.value(10).toString();
    header->accessionNumber = row.value(11).toString();
    header->studyDescription = row.value(12).toString();
    const QDate day = QDate::fromString(row.value(13).toString(), DateFormats::kDate);
    row.finish();
    if (header->studyInstanceUid.isEmpty())
        return QStringLiteral("The record belongs to no examination.");

    // Made once and kept: a retry sends the same instance, which the archive never duplicates.
    if (sop.isEmpty()) {
        sop = DicomUid::create();
        QSqlQuery update
            = run(db, QStringLiteral("UPDATE recd_dicom SET sop_uid=? WHERE rid=?"), { sop, rid });
        if (update.lastError().isValid())
            return update.lastError().text();
    }
    header->sopInstanceUid = sop;

    // Instance numbers count the examination's captures of the same kind in capture order;
    // the study begins with its first capture.
    const QString kind = kindOf(*path);
    QSqlQuery members = run(db,
        QStringLiteral(
            "SELECT d.rid,r.fil,r.dtm FROM recd_dicom d JOIN recd r ON r.rowid=d.rid WHERE d.exam=? "
            "ORDER BY d.rid"),
        { exam });
    int number = 0;
    while (members.next()) {
        if (!header->studyDateTime.isValid())
            header->studyDateTime
                = QDateTime::fromString(members.value(2).toString(), DateFormats::kDateTime);
        if (kindOf(members.value(1).toString()) == kind)
            ++number;
        if (members.value(0).toLongLong() == rid)
            break;
    }
    members.finish();
    header->instanceNumber = qMax(number, 1);
    if (!header->studyDateTime.isValid())
        header->studyDateTime = QDateTime(day, QTime(0, 0));

    header->seriesInstanceUid = seriesUid(exam, kind, &header->seriesNumber);
    if (header->seriesInstanceUid.isEmpty())
        return QStringLiteral("The series could not be recorded: ") + db.lastError().text();
    return QString();
}

QString ArchiveWorker::seriesUid(qlonglong exam, const QString& kind, int* number)
{
    *number = kind == QLatin1String("picture") ? 1 : 2;
    run(db,
        QStringLiteral("INSERT OR IGNORE INTO exam_series (exam,kind,series_uid,number) VALUES (?,?,?,?)"),
        { exam, kind, DicomUid::create(), *number });
    QSqlQuery query = run(db,
        QStringLiteral("SELECT series_uid,number FROM exam_series WHERE exam=? AND kind=?"), { exam, kind });
    if (!query.next())
        return QString();
    *number = query.value(1).toInt();
    return query.value(0).toString();
}

void ArchiveWorker::store(qlonglong rid, const QString& state, const QString& error)
{
    run(db, QStringLiteral("UPDATE recd_dicom SET state=?,error=?,tm=? WHERE rid=?"),
        { state, error.isEmpty() ? QVariant(QVariant::String) : QVariant(error),
            QDateTime::currentDateTime().toString(DateFormats::kDateTime), rid });
}
