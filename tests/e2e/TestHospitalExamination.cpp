// An examination in a hospital: the patient is taken from a real worklist (wlmscpfs), examined
// with the camera stand-in, and every capture is sent to a real archive (Orthanc) when the
// examination ends. What arrived is read only through Orthanc's REST interface and checked
// with other tools (dcmdump, ffprobe), never through our own code.

#include "E2eSupport.h"

#include "OrthancServer.h"
#include "WorklistServer.h"

#include "DlgWorklist.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

using namespace E2e;

namespace {
const QString kStudyUid = QStringLiteral("2.25.302112648911930151046216917215790361722");
const QString kAccession = QStringLiteral("ACC-2026-0042");
const QString kPatientId = QStringLiteral("KX-E2E-7");
const QString kPatientName = QStringLiteral("Müller^Jürgen");
const QString kStillClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1");
const QString kVideoClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.77.1.1.1");
// A recording rolls over into a new segment every this many milliseconds.
constexpr int kSegmentMs = 3000;

// Seconds of video from the first frame's time stamp to the last one's end, as ffprobe reads
// them; negative when it cannot. (The container's own duration also counts the time before the
// first frame, which the recorder starts a little after zero.)
double durationOf(const QString& path)
{
    const QString answer = runTool(QStringLiteral("ffprobe"),
        { "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=duration", "-of", "csv=p=0",
            path })
                               .trimmed();
    bool ok = false;
    const double seconds = answer.toDouble(&ok);
    return ok ? seconds : -1.0;
}

bool decodesWithoutError(const QString& path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), { "-v", "error", "-i", path, "-f", "null", "-" });
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0
        && ffmpeg.readAllStandardError().trimmed().isEmpty();
}
} // namespace

class TestHospitalExamination : public QObject
{
    Q_OBJECT

    OrthancServer archive { QStringLiteral("PACS") };
    WorklistServer worklist { QStringLiteral("MWL") };
    // The recording's segments as the camera filed them, in order.
    QStringList segments;
    QTemporaryDir downloads;

    QJsonArray instances() const { return archive.getJson(QStringLiteral("/instances")).array(); }

    QString metadata(const QString& instance, const QString& name) const
    {
        return QString::fromUtf8(archive.get("/instances/" + instance + "/metadata/" + name));
    }

    // The archive's instances of one SOP class, in instance number order.
    QStringList instancesOf(const QString& sopClass) const
    {
        QMap<int, QString> byNumber;
        for (const QJsonValue& id : instances()) {
            if (metadata(id.toString(), QStringLiteral("SopClassUid")) != sopClass)
                continue;
            const QJsonObject tags = archive.getJson("/instances/" + id.toString()).object();
            byNumber.insert(tags.value("MainDicomTags").toObject().value("InstanceNumber").toString().toInt(),
                id.toString());
        }
        return byNumber.values();
    }

    // An instance's DICOM file as Orthanc stored it, saved for the command-line tools.
    QString download(const QString& instance)
    {
        const QString path = downloads.filePath(instance + QStringLiteral(".dcm"));
        if (!QFileInfo::exists(path)) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return QString();
            file.write(archive.get("/instances/" + instance + "/file"));
        }
        return path;
    }

    // The video stream of a stored video instance, taken out of its pixel data by dcmdump.
    QString extractVideo(const QString& instance)
    {
        const QString dicom = download(instance);
        const QString folder = downloads.filePath(instance);
        if (dicom.isEmpty() || !QDir().mkpath(folder))
            return QString();
        runTool(QStringLiteral("dcmdump"), { "+W", folder, dicom });
        // One file per pixel data item: the offset table (.0.raw), then the stream (.1.raw).
        const QStringList items = QDir(folder).entryList({ QStringLiteral("*.1.raw") }, QDir::Files);
        return items.size() == 1 ? QDir(folder).absoluteFilePath(items.first()) : QString();
    }

    // Inside the patient dialog the worklist opened: the examination, to its end.
    void examine(DlgPatinfo* dialog)
    {
        auto* records = child<QTableWidget>(dialog, "list");
        click(child<QPushButton>(dialog, "bnNew"));
        QPointer<FrmCamera> camera = visibleWindow<FrmCamera>();
        QVERIFY(camera);
        watchPictures(camera);
        QVERIFY2(waitForPictures(3), "the camera shows no picture");
        camera->setSegmentMs(kSegmentMs);
        QSignalSpy recorded(camera.data(), &FrmCamera::record);

        for (int taken = 1; taken <= 2; ++taken) {
            pressCameraKey(1);
            QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), taken, 10000);
            QVERIFY(waitForPictures(1));
        }
        QAction* record = child<QAction>(camera, "moRecd");
        pressCameraKey(2);
        QTRY_VERIFY(record->isChecked());
        // About four and a half seconds: one full segment and part of a second one. Timed by
        // the clock, not by pictures, which come slower on a busy machine.
        QElapsedTimer recording;
        recording.start();
        QVERIFY(waitForPictures(10));
        QTRY_VERIFY_WITH_TIMEOUT(recording.elapsed() >= kSegmentMs * 3 / 2, 10000);
        pressCameraKey(2);
        QTRY_VERIFY(!record->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(recorded.count(), 1, 10000);
        segments = recorded.first().first().toStringList();
        QCOMPARE(segments.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(records->rowCount(), 4, 10000);

        click(child<QPushButton>(camera, "bnBack"));
        QTRY_VERIFY(camera.isNull());
    }

private slots:
    void initTestCase()
    {
        for (const char* tool : { "/usr/sbin/Orthanc", "/usr/bin/wlmscpfs", "/usr/bin/dump2dcm" }) {
            if (!QFileInfo::exists(QLatin1String(tool)))
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/deps.sh)").arg(tool)));
        }
        TestSupport::copyShippedLanguages();
        plugCamera("testsrc2=size=640x480:rate=30,realtime");
        QVERIFY(downloads.isValid());
        QString error;
        QVERIFY2(archive.start(&error), qPrintable(error));
        QVERIFY2(worklist.start(&error), qPrintable(error));

        WorklistEntry entry;
        entry.patientName = kPatientName;
        entry.patientId = kPatientId;
        entry.issuerOfPatientId = QStringLiteral("ST-ANNA");
        entry.birthDate = QDate(1958, 6, 14);
        entry.sex = QStringLiteral("M");
        entry.accessionNumber = kAccession;
        entry.studyInstanceUid = kStudyUid;
        entry.requestedProcedure = QStringLiteral("Laryngoscopy");
        entry.stationAeTitle = QStringLiteral("KARVEX");
        entry.modality = QStringLiteral("ES");
        entry.startDate = QDate::currentDate();
        entry.startTime = QStringLiteral("101500");
        entry.stepDescription = QStringLiteral("Laryngoscopy");
        QVERIFY2(worklist.addEntry(entry, &error), qPrintable(error));

        AppSettings settings;
        settings.setHospitalName(QStringLiteral("St. Anna Hospital"));
        settings.setDicomStationAeTitle(QStringLiteral("KARVEX"));
        settings.setDicomModality(QStringLiteral("ES"));
        settings.setArchiveAeTitle(archive.aeTitle());
        settings.setArchiveHost(QStringLiteral("127.0.0.1"));
        settings.setArchivePort(archive.dicomPort());
        settings.setWorklistAeTitle(worklist.aeTitle());
        settings.setWorklistHost(QStringLiteral("127.0.0.1"));
        settings.setWorklistPort(worklist.port());
        // The examination's end sends its captures with no further step by the operator.
        settings.setAutoSendToArchive(true);
    }

    void patientFromTheWorklistIsExaminedAndEveryCaptureSent()
    {
        MsgBoxRecorder boxes(QMessageBox::Ok);
        DlgType start;
        start.show();
        QVERIFY(QTest::qWaitForWindowExposed(&start));
        click(child<QPushButton>(&start, "bnPAT"));
        QPointer<FrmPatmgr> manager = visibleWindow<FrmPatmgr>();
        QVERIFY(manager);

        withModal<DlgWorklist>([&] { child<QAction>(manager, "mfWorklist")->trigger(); },
            [&](DlgWorklist* chooser) {
                auto* list = child<QTableWidget>(chooser, "list");
                QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 1, 20000);
                QCOMPARE(list->item(0, 2)->text(), kPatientId);
                QTRY_VERIFY(child<QPushButton>(chooser, "bnOK")->isEnabled());
                click(child<QPushButton>(chooser, "bnOK"));
            });
        QPointer<DlgPatinfo> dialog;
        QTRY_VERIFY((dialog = visibleWindow<DlgPatinfo>()));
        QTRY_COMPARE(child<QLineEdit>(dialog, "leLName")->text(), QStringLiteral("Müller"));
        QCOMPARE(child<QLineEdit>(dialog, "leFName")->text(), QStringLiteral("Jürgen"));
        QCOMPARE(child<QLineEdit>(dialog, "lePid")->text(), kPatientId);
        QVERIFY(dialog->currentExam() != 0);

        examine(dialog);
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(
            sqlValue("SELECT count(*) FROM recd_dicom WHERE state='sent'").toInt(), 4, 120000);
        QCOMPARE(sqlValue("SELECT count(*) FROM recd_dicom").toInt(), 4);
        // The records list shows what became of each capture.
        auto* records = child<QTableWidget>(dialog, "list");
        QTRY_COMPARE(records->cellWidget(3, 4)->property("state").toString(), QStringLiteral("sent"));
        QVERIFY2(boxes.boxes.isEmpty(), "no message box belongs to a smooth examination");
        dialog->close();
        manager->close();
    }

    void archiveHoldsOnePatient()
    {
        QCOMPARE(archive.getJson(QStringLiteral("/patients")).array().size(), 1);
    }

    void patientNameArrivesIntact()
    {
        const QString patient = archive.getJson(QStringLiteral("/patients")).array().first().toString();
        const QJsonObject tags
            = archive.getJson("/patients/" + patient).object().value("MainDicomTags").toObject();
        QCOMPARE(tags.value("PatientName").toString(), kPatientName);
        QCOMPARE(tags.value("PatientID").toString(), kPatientId);
    }

    void birthdayAndSexComeFromTheWorklist_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::newRow("birthday") << "PatientBirthDate"
                                  << "19580614";
        QTest::newRow("sex") << "PatientSex"
                             << "M";
    }

    void birthdayAndSexComeFromTheWorklist()
    {
        QFETCH(QString, tag);
        QFETCH(QString, value);
        const QString patient = archive.getJson(QStringLiteral("/patients")).array().first().toString();
        const QJsonObject tags
            = archive.getJson("/patients/" + patient).object().value("MainDicomTags").toObject();
        QCOMPARE(tags.value(tag).toString(), value);
    }

    void archiveHoldsOneStudyWithTheWorklistsUids()
    {
        const QJsonArray studies = archive.getJson(QStringLiteral("/studies")).array();
        QCOMPARE(studies.size(), 1);
        const QJsonObject tags = archive.getJson("/studies/" + studies.first().toString())
                                     .object()
                                     .value("MainDicomTags")
                                     .toObject();
        QCOMPARE(tags.value("StudyInstanceUID").toString(), kStudyUid);
        QCOMPARE(tags.value("AccessionNumber").toString(), kAccession);
        QCOMPARE(tags.value("StudyDate").toString(), QDate::currentDate().toString("yyyyMMdd"));
    }

    void everyCaptureIsOneInstanceOfItsKind_data()
    {
        QTest::addColumn<QString>("sopClass");
        QTest::addColumn<int>("count");
        QTest::newRow("snapshots: VL Endoscopic") << "1.2.840.10008.5.1.4.1.1.77.1.1" << 2;
        QTest::newRow("segments: Video Endoscopic") << "1.2.840.10008.5.1.4.1.1.77.1.1.1" << 2;
    }

    void everyCaptureIsOneInstanceOfItsKind()
    {
        QFETCH(QString, sopClass);
        QFETCH(int, count);
        QCOMPARE(instancesOf(sopClass).size(), count);
    }

    void archiveHoldsNothingElse() { QCOMPARE(instances().size(), 4); }

    void everyInstanceCarriesItsCapturesTime()
    {
        const QJsonArray all = instances();
        QVERIFY(!all.isEmpty());
        for (const QJsonValue& id : all) {
            const QJsonObject tags
                = archive.getJson("/instances/" + id.toString() + "/simplified-tags").object();
            const QString filed
                = sqlValue("SELECT r.dtm FROM recd r JOIN recd_dicom d ON d.rid=r.rowid WHERE "
                           "d.sop_uid=?",
                    { tags.value("SOPInstanceUID").toString() })
                      .toString();
            const QString expected = QDateTime::fromString(filed, QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                         .toString("yyyyMMddHHmmss");
            QCOMPARE(tags.value("AcquisitionDateTime").toString().left(14), expected);
        }
    }

    void videosAreStoredAsH264HighProfile()
    {
        const QStringList videos = instancesOf(kVideoClass);
        QVERIFY(!videos.isEmpty());
        for (const QString& video : videos)
            QCOMPARE(
                metadata(video, QStringLiteral("TransferSyntax")), QStringLiteral("1.2.840.10008.1.2.4.102"));
    }

    void videoDecodesAtTheSegmentsRecordedLength_data()
    {
        QTest::addColumn<int>("segment");
        QTest::newRow("first segment") << 0;
        QTest::newRow("second segment") << 1;
    }

    void videoDecodesAtTheSegmentsRecordedLength()
    {
        QFETCH(int, segment);
        const QStringList videos = instancesOf(kVideoClass);
        if (videos.size() <= segment)
            QSKIP("the segment did not reach the archive (see the scenario's failure)");
        const QString stream = extractVideo(videos.at(segment));
        QVERIFY2(!stream.isEmpty(), "dcmdump wrote no pixel data");
        QVERIFY(decodesWithoutError(stream));
        const double recorded = durationOf(segments.value(segment));
        const double stored = durationOf(stream);
        qInfo("segment %d: recorded %.3f s, stored %.3f s, %lld bytes", segment, recorded, stored,
            QFileInfo(stream).size());
        QVERIFY(recorded > 0);
        QVERIFY2(qAbs(stored - recorded) <= 0.05 * recorded, qPrintable(QString::number(stored)));
        // Re-encoding keeps every frame.
        QCOMPARE(framesOf(probe(stream)), framesOf(probe(segments.value(segment))));
    }

    void storedFileReadsInDcmdump()
    {
        const QStringList stills = instancesOf(kStillClass);
        QVERIFY(!stills.isEmpty());
        QProcess dcmdump;
        dcmdump.start(QStringLiteral("dcmdump"), { download(stills.first()) });
        QVERIFY(dcmdump.waitForFinished(30000));
        QCOMPARE(dcmdump.exitCode(), 0);
        QVERIFY(QString::fromUtf8(dcmdump.readAllStandardOutput()).contains(kPatientName));
    }
};

KARVEX_TEST_MAIN(TestHospitalExamination)
#include "TestHospitalExamination.moc"
