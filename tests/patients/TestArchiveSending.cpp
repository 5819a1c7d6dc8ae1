// The send queue against a real archive (Orthanc started by the test): what reached the
// archive is read through Orthanc's REST interface, never through our own code.
#include "AppSettings.h"
#include "ArchiveQueue.h"
#include "OrthancServer.h"
#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

using namespace PatientsSupport;

class TestArchiveSending : public QObject
{
    Q_OBJECT

    std::unique_ptr<OrthancServer> archive;
    qlonglong patient = 0;

    // A picture record of the patient, waiting in the examination "9.8.7".
    void waitingPicture(const QString& name)
    {
        const QString file = QDir::current().absoluteFilePath("Capture/" + name);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(file));
        const qlonglong rid
            = run("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,'2024/03/01 09:00:00')", { patient, file })
                  .lastInsertId()
                  .toLongLong();
        run("INSERT INTO recd_dicom (rid,exam,state) VALUES (?,(SELECT rowid FROM exam WHERE "
            "study_uid='9.8.7'),"
            "'waiting')",
            { rid });
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
        waitingPicture("a.jpg");
        waitingPicture("b.jpg");
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
        waitingPicture("c.jpg");
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
};

KARVEX_TEST_MAIN(TestArchiveSending)
#include "TestArchiveSending.moc"
