// The send queue against a real archive (Orthanc started by the test): what reached the
// archive is read through Orthanc's REST interface, never through our own code.
#include "AppSettings.h"
#include "ArchiveQueue.h"
#include "DlgPatinfo.h"
#include "OrthancServer.h"
#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QTableWidget>

using namespace PatientsSupport;

class TestArchiveSending : public QObject
{
    Q_OBJECT

    std::unique_ptr<OrthancServer> archive;
    qlonglong patient = 0;
    // The record the archive refused, and how many instances the archive held before it.
    qlonglong refused = 0;
    int instancesBeforeRefusal = 0;

    // A picture record of the patient, waiting in the examination "9.8.7"; its record id, or 0
    // when the picture could not be written.
    qlonglong waitingPicture(const QString& name)
    {
        const QString file = QDir::current().absoluteFilePath("Capture/" + name);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        if (!picture.save(file))
            return 0;
        const qlonglong rid
            = run("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,'2024/03/01 09:00:00')", { patient, file })
                  .lastInsertId()
                  .toLongLong();
        run("INSERT INTO recd_dicom (rid,exam,state) VALUES (?,(SELECT rowid FROM exam WHERE "
            "study_uid='9.8.7'),"
            "'waiting')",
            { rid });
        return rid;
    }

    int instancesInArchive() const { return archive->getJson("/instances").array().size(); }

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists("/usr/sbin/Orthanc"))
            QSKIP("Orthanc is not installed (scripts/deps.sh)");
        QVERIFY(QDir().mkpath("Capture"));
        QVERIFY(openDatabases());
        archive = std::make_unique<OrthancServer>(QStringLiteral("ARCHIVE"));
        QString error;
        QVERIFY2(archive->start(&error), qPrintable(error));
        {
            AppSettings settings;
            settings.setArchiveAeTitle(archive->aeTitle());
            settings.setArchiveHost(QStringLiteral("127.0.0.1"));
            settings.setArchivePort(archive->dicomPort());
        }
        patient = run("INSERT INTO user (fnam,lnam,bday) VALUES ('Jürgen','Müller','1975/11/30')")
                      .lastInsertId()
                      .toLongLong();
        run("INSERT INTO patient_ident (uid,pid) VALUES (?,'W-1001')", { patient });
        run("INSERT INTO exam (uid,day,study_uid,source) VALUES (?,'2024/03/01','9.8.7','local')",
            { patient });
        ArchiveQueue::instance()->setRetryInterval(500);
    }

    void waitingRecordsReachTheArchiveWithTheirPatientId()
    {
        QVERIFY(waitingPicture("a.bmp") != 0);
        QVERIFY(waitingPicture("b.bmp") != 0);
        ArchiveQueue::instance()->wake();
        QTRY_COMPARE_WITH_TIMEOUT(
            fields("SELECT group_concat(state, ',') FROM recd_dicom"), QStringList { "sent,sent" }, 60000);
        const QJsonArray patients = archive->getJson("/patients").array();
        QCOMPARE(patients.size(), 1);
        QCOMPARE(archive->getJson("/patients/" + patients.first().toString())
                     .object()
                     .value("MainDicomTags")
                     .toObject()
                     .value("PatientID")
                     .toString(),
            QStringLiteral("W-1001"));
    }

    void recordsWaitWhileTheArchiveIsDownAndGoOnceItIsBack()
    {
        const int before = instancesInArchive();
        archive->stop();
        QVERIFY(waitingPicture("c.bmp") != 0);
        ArchiveQueue::instance()->wake();
        // The archive's absence is noted as the reason, and the record keeps waiting.
        QTRY_COMPARE_WITH_TIMEOUT(
            fields("SELECT count(*) FROM recd_dicom WHERE state='waiting' AND IFNULL(error,'')<>''"),
            QStringList { "1" }, 30000);
        QString error;
        QVERIFY2(archive->start(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(
            fields("SELECT count(*) FROM recd_dicom WHERE state='sent'"), QStringList { "3" }, 60000);
        QCOMPARE(instancesInArchive(), before + 1);
    }

    void archiveRefusingOurCalledAeTitleFailsTheRecordNamingIt()
    {
        instancesBeforeRefusal = instancesInArchive();
        AppSettings().setArchiveAeTitle(QStringLiteral("NOT-ARCHIVE"));
        refused = waitingPicture("d.bmp");
        QVERIFY(refused != 0);
        ArchiveQueue::instance()->wake();
        QTRY_COMPARE_WITH_TIMEOUT(
            fields("SELECT state FROM recd_dicom WHERE rid=?", { refused }), QStringList { "failed" }, 30000);

        DlgPatinfo dialog(nullptr);
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        dialog.setRowID(quint64(patient));
        QVERIFY(loaded.wait());
        auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("list"));
        const auto* state = qobject_cast<QLabel*>(list->cellWidget(list->rowCount() - 1, 4));
        QVERIFY(state);
        QCOMPARE(state->property("state").toString(), QStringLiteral("failed"));
        QVERIFY2(state->toolTip().contains(QStringLiteral("NOT-ARCHIVE")), qPrintable(state->toolTip()));
        QCOMPARE(instancesInArchive(), instancesBeforeRefusal);
    }

    void refusedRecordIsSentByTheRetryOnceTheAeTitleIsFixed()
    {
        QVERIFY(refused != 0);
        AppSettings().setArchiveAeTitle(archive->aeTitle());
        // No new capture and no operator step: the queue's periodic retry takes failed records too.
        QTRY_COMPARE_WITH_TIMEOUT(
            fields("SELECT state FROM recd_dicom WHERE rid=?", { refused }), QStringList { "sent" }, 60000);
        QCOMPARE(instancesInArchive(), instancesBeforeRefusal + 1);
    }
};

KARVEX_TEST_MAIN(TestArchiveSending)
#include "TestArchiveSending.moc"
