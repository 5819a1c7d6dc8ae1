#include "DicomEcho.h"
#include "DicomStore.h"
#include "DicomUid.h"
#include "FreePort.h"
#include "OrthancServer.h"
#include "WorklistQuery.h"
#include "WorklistServer.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kStation = QStringLiteral("KARVEX");
const QString kWrongTitle = QStringLiteral("NOTTHEARCHIVE");
const int kTimeout = 5;

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(20000) || tool.exitCode() != 0)
        return program + QStringLiteral(": ") + QString::fromLocal8Bit(tool.readAll());
    return {};
}
} // namespace

class TestDicomNetwork : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    OrthancServer m_archive { QStringLiteral("ARCHIVE") };
    WorklistServer m_worklist { QStringLiteral("WORKLIST") };
    int m_files = 0;

    // A JPEG picture made into a Secondary Capture object by img2dcm (JPEG Baseline transfer
    // syntax, as the file has it), for `patientName`.
    QString pictureFile(const QString& patientName)
    {
        const QString base = m_folder.filePath(QStringLiteral("picture%1").arg(++m_files));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        picture.save(base + QStringLiteral(".jpg"));
        const QString failure = runTool(QStringLiteral("img2dcm"),
            { base + QStringLiteral(".jpg"), base + QStringLiteral(".dcm"), QStringLiteral("-k"),
                QStringLiteral("PatientName=") + patientName, QStringLiteral("-k"),
                QStringLiteral("SpecificCharacterSet=ISO_IR 192") });
        return failure.isEmpty() ? base + QStringLiteral(".dcm") : failure;
    }

    // An object with its pixel data in `transferSyntax`: the bytes need not decode, the
    // archive only has to take the object as it is.
    QString encapsulatedFile(const char* sopClass, E_TransferSyntax transferSyntax)
    {
        const QString path = m_folder.filePath(QStringLiteral("object%1.dcm").arg(++m_files));
        DcmFileFormat file;
        DcmDataset* data = file.getDataset();
        data->putAndInsertString(DCM_SOPClassUID, sopClass);
        data->putAndInsertString(DCM_SOPInstanceUID, DicomUid::create().toLatin1().constData());
        data->putAndInsertString(DCM_StudyInstanceUID, DicomUid::create().toLatin1().constData());
        data->putAndInsertString(DCM_SeriesInstanceUID, DicomUid::create().toLatin1().constData());
        data->putAndInsertString(DCM_PatientName, "Video^Test");
        data->putAndInsertString(DCM_PatientID, "KX-VIDEO");
        data->putAndInsertString(DCM_Modality, "ES");
        data->putAndInsertUint16(DCM_SamplesPerPixel, 3);
        data->putAndInsertString(DCM_PhotometricInterpretation, "YBR_PARTIAL_420");
        data->putAndInsertUint16(DCM_PlanarConfiguration, 0);
        data->putAndInsertUint16(DCM_Rows, 16);
        data->putAndInsertUint16(DCM_Columns, 16);
        data->putAndInsertUint16(DCM_BitsAllocated, 8);
        data->putAndInsertUint16(DCM_BitsStored, 8);
        data->putAndInsertUint16(DCM_HighBit, 7);
        data->putAndInsertUint16(DCM_PixelRepresentation, 0);
        data->putAndInsertString(DCM_NumberOfFrames, "1");
        auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
        sequence->insert(new DcmPixelItem(DCM_PixelItemTag)); // empty offset table
        auto* fragment = new DcmPixelItem(DCM_PixelItemTag);
        const Uint8 bytes[8] = { 0, 0, 0, 1, 0x09, 0xf0, 0, 0 };
        fragment->putUint8Array(bytes, sizeof(bytes));
        sequence->insert(fragment);
        auto* pixelData = new DcmPixelData(DCM_PixelData);
        pixelData->putOriginalRepresentation(transferSyntax, nullptr, sequence);
        data->insert(pixelData);
        const OFCondition saved = file.saveFile(QFile::encodeName(path).constData(), transferSyntax);
        return saved.good() ? path : QString::fromLatin1(saved.text());
    }

    QString dumpFile(const QString& dump)
    {
        const QString base = m_folder.filePath(QStringLiteral("dump%1").arg(++m_files));
        QFile text(base + QStringLiteral(".txt"));
        text.open(QIODevice::WriteOnly);
        text.write(dump.toUtf8());
        text.close();
        const QString failure
            = runTool(QStringLiteral("dump2dcm"), { text.fileName(), base + QStringLiteral(".dcm") });
        return failure.isEmpty() ? base + QStringLiteral(".dcm") : failure;
    }

    int archivedInstances() const
    {
        return m_archive.getJson(QStringLiteral("/statistics"))
            .object()
            .value(QStringLiteral("CountInstances"))
            .toInt(-1);
    }

    // Orthanc's identifier of the instance with this SOP Instance UID.
    QString archivedInstance(const QString& path) const
    {
        DcmFileFormat file;
        file.loadFile(QFile::encodeName(path).constData());
        OFString sopInstance;
        file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, sopInstance);
        const QJsonArray found
            = m_archive.postJson(QStringLiteral("/tools/lookup"), sopInstance.c_str()).array();
        return found.isEmpty() ? QString() : found.first().toObject().value(QStringLiteral("ID")).toString();
    }

    static WorklistEntry scheduled(const QString& name, const QString& station, const QDate& day)
    {
        WorklistEntry entry;
        entry.patientName = name;
        entry.patientId = QStringLiteral("KX-4711");
        entry.issuerOfPatientId = QStringLiteral("CLINIC");
        entry.birthDate = QDate(1961, 2, 28);
        entry.sex = QStringLiteral("M");
        entry.accessionNumber = QStringLiteral("ACC-0815");
        entry.studyInstanceUid = QStringLiteral("2.25.123456789");
        entry.requestedProcedure = QStringLiteral("Laryngoscopy");
        entry.stationAeTitle = station;
        entry.modality = QStringLiteral("ES");
        entry.startDate = day;
        entry.startTime = QStringLiteral("093000");
        entry.stepDescription = QStringLiteral("Step");
        return entry;
    }

    bool addScheduled(const QString& name, const QString& station, const QDate& day)
    {
        QString error;
        const bool added = m_worklist.addEntry(scheduled(name, station, day), &error);
        if (!added)
            qWarning() << error;
        return added;
    }

    QVector<WorklistItem> todaysItems()
    {
        QVector<WorklistItem> items;
        const DicomStatus status = WorklistQuery::find(
            kStation, m_worklist.node(), QDate::currentDate(), QStringLiteral("ES"), kTimeout, &items);
        if (!status.ok())
            qWarning() << status.detail;
        return items;
    }

private slots:
    void initTestCase();

    void echoToTheArchiveConnects();
    void echoWhereNothingListensIsRefused_data();
    void echoWhereNothingListensIsRefused();
    void echoToASilentListenerHasNoAnswer();
    void echoWithAWrongCalledAeTitleIsRejected();

    void storedPictureKeepsItsTransferSyntax();
    void videoTransferSyntaxIsAccepted();
    void unknownSopClassIsNotAccepted();
    void unreadableFileFailsAlone();
    void archiveRefusingAnObjectFailsItAlone();
    void storeToAStoppedArchiveIsRefusedForEveryFile();

    void worklistListsOnlyTodaysItemsForThisStation();
    void latin1WorklistNameArrivesIntact();
    void worklistWithAWrongCalledAeTitleIsRejected();
    void unreachableWorklistIsRefusedWithNoItems();
};

void TestDicomNetwork::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QString error;
    QVERIFY2(m_archive.start(&error), qPrintable(error));
    QVERIFY2(m_worklist.start(&error), qPrintable(error));
    const QDate today = QDate::currentDate();
    QVERIFY(addScheduled(QStringLiteral("Müller^Jürgen"), kStation, today));
    QVERIFY(addScheduled(QStringLiteral("Tomorrow^Patient"), kStation, today.addDays(1)));
    QVERIFY(addScheduled(QStringLiteral("Other^Station"), QStringLiteral("OTHERROOM"), today));
}

void TestDicomNetwork::echoToTheArchiveConnects()
{
    const DicomStatus status = DicomEcho::check(kStation, m_archive.node(), kTimeout);
    QCOMPARE(status.failure, DicomStatus::None);
}

void TestDicomNetwork::echoWhereNothingListensIsRefused_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("closedPort");
    QTest::newRow("closed port") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << false;
}

void TestDicomNetwork::echoWhereNothingListensIsRefused()
{
    QFETCH(QString, host);
    QFETCH(bool, closedPort);
    const DicomNode nowhere { m_archive.aeTitle(), host, closedPort ? freeLocalPort() : quint16(104) };
    const DicomStatus status = DicomEcho::check(kStation, nowhere, kTimeout);
    QCOMPARE(status.failure, DicomStatus::Refused);
}

void TestDicomNetwork::echoToASilentListenerHasNoAnswer()
{
    // The kernel accepts the connection; nobody ever reads from it or answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const DicomStatus status = DicomEcho::check(
        kStation, { QStringLiteral("SILENT"), QStringLiteral("127.0.0.1"), silent.serverPort() }, 1);
    QCOMPARE(status.failure, DicomStatus::NoAnswer);
}

void TestDicomNetwork::echoWithAWrongCalledAeTitleIsRejected()
{
    DicomNode wrong = m_archive.node();
    wrong.aeTitle = kWrongTitle;
    const DicomStatus status = DicomEcho::check(kStation, wrong, kTimeout);
    QCOMPARE(status.failure, DicomStatus::AeTitleRejected);
}

void TestDicomNetwork::storedPictureKeepsItsTransferSyntax()
{
    const QString file = pictureFile(QStringLiteral("Syntax^Test"));
    QCOMPARE(
        DicomStore::send(kStation, m_archive.node(), { file }, kTimeout).value(0).failure, DicomStatus::None);
    const QByteArray syntax
        = m_archive.get(QStringLiteral("/instances/%1/metadata/TransferSyntax").arg(archivedInstance(file)));
    QCOMPARE(syntax, QByteArray("1.2.840.10008.1.2.4.50"));
}

void TestDicomNetwork::videoTransferSyntaxIsAccepted()
{
    const QString file = encapsulatedFile(UID_VideoEndoscopicImageStorage, EXS_MPEG4HighProfileLevel4_1);
    const DicomStatus status = DicomStore::send(kStation, m_archive.node(), { file }, kTimeout).value(0);
    QCOMPARE(status.failure, DicomStatus::None);
    const QByteArray syntax
        = m_archive.get(QStringLiteral("/instances/%1/metadata/TransferSyntax").arg(archivedInstance(file)));
    QCOMPARE(syntax, QByteArray("1.2.840.10008.1.2.4.102"));
}

void TestDicomNetwork::unknownSopClassIsNotAccepted()
{
    const QString file = dumpFile(QStringLiteral("(0008,0016) UI [1.2.826.0.1.3680043.10.999.1]\n"
                                                 "(0008,0018) UI [%1]\n(0010,0010) PN [Unknown^Class]\n")
                                      .arg(DicomUid::create()));
    const DicomStatus status = DicomStore::send(kStation, m_archive.node(), { file }, kTimeout).value(0);
    QCOMPARE(status.failure, DicomStatus::NotAccepted);
}

void TestDicomNetwork::unreadableFileFailsAlone()
{
    QFile broken(m_folder.filePath(QStringLiteral("broken.dcm")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a DICOM file");
    broken.close();
    const QVector<DicomStatus> statuses = DicomStore::send(kStation, m_archive.node(),
        { broken.fileName(), pictureFile(QStringLiteral("After^Broken")) }, kTimeout);
    QCOMPARE(statuses.value(0).failure, DicomStatus::Failed);
    QCOMPARE(statuses.value(1).failure, DicomStatus::None);
}

void TestDicomNetwork::archiveRefusingAnObjectFailsItAlone()
{
    // Orthanc answers "Refused: Out of Resources" for an object its filter turns down.
    QFile filter(m_folder.filePath(QStringLiteral("filter.lua")));
    QVERIFY(filter.open(QIODevice::WriteOnly));
    filter.write("function ReceivedInstanceFilter(dicom, origin, info)\n"
                 "  return dicom.PatientName ~= 'Refuse^Me'\nend\n");
    filter.close();
    OrthancServer picky(QStringLiteral("PICKY"));
    picky.setOption(QStringLiteral("LuaScripts"), QJsonArray { filter.fileName() });
    QString error;
    QVERIFY2(picky.start(&error), qPrintable(error));
    const QVector<DicomStatus> statuses = DicomStore::send(kStation, picky.node(),
        { dumpFile(QStringLiteral("(0008,0016) UI [1.2.840.10008.5.1.4.1.1.7]\n"
                                  "(0008,0018) UI [%1]\n(0010,0010) PN [Refuse^Me]\n")
                       .arg(DicomUid::create())),
            pictureFile(QStringLiteral("Keep^Me")) },
        kTimeout);
    QCOMPARE(statuses.value(0).failure, DicomStatus::Failed);
    QCOMPARE(statuses.value(1).failure, DicomStatus::None);
}

void TestDicomNetwork::storeToAStoppedArchiveIsRefusedForEveryFile()
{
    OrthancServer stopped(QStringLiteral("STOPPED"));
    QString error;
    QVERIFY2(stopped.start(&error), qPrintable(error));
    stopped.stop();
    const QVector<DicomStatus> statuses = DicomStore::send(kStation, stopped.node(),
        { pictureFile(QStringLiteral("Down^Archive")), pictureFile(QStringLiteral("Down^Archive")) },
        kTimeout);
    QCOMPARE(statuses.value(0).failure, DicomStatus::Refused);
    QCOMPARE(statuses.value(1).failure, DicomStatus::Refused);
}

void TestDicomNetwork::worklistListsOnlyTodaysItemsForThisStation()
{
    QStringList names;
    for (const WorklistItem& item : todaysItems())
        names << item.patientName;
    QCOMPARE(names, QStringList { QStringLiteral("Müller^Jürgen") });
}

void TestDicomNetwork::latin1WorklistNameArrivesIntact()
{
    // Older worklists answer in ISO 8859-1 whatever the query asked for.
    const QString station = QStringLiteral("LATINROOM");
    const QString dump = scheduled(QStringLiteral("Müller^Jürgen"), station, QDate::currentDate()).toDump();
    QVERIFY(m_worklist.addDump(
        QString(dump).replace(QStringLiteral("ISO_IR 192"), QStringLiteral("ISO_IR 100")).toLatin1()));
    QVector<WorklistItem> items;
    WorklistQuery::find(
        station, m_worklist.node(), QDate::currentDate(), QStringLiteral("ES"), kTimeout, &items);
    QCOMPARE(items.value(0).patientName, QStringLiteral("Müller^Jürgen"));
}

void TestDicomNetwork::worklistWithAWrongCalledAeTitleIsRejected()
{
    DicomNode wrong = m_worklist.node();
    wrong.aeTitle = kWrongTitle;
    QVector<WorklistItem> items;
    const DicomStatus status
        = WorklistQuery::find(kStation, wrong, QDate::currentDate(), QStringLiteral("ES"), kTimeout, &items);
    QCOMPARE(status.failure, DicomStatus::AeTitleRejected);
}

void TestDicomNetwork::unreachableWorklistIsRefusedWithNoItems()
{
    QVector<WorklistItem> items(1);
    const DicomNode nowhere { m_worklist.aeTitle(), QStringLiteral("127.0.0.1"), freeLocalPort() };
    const DicomStatus status = WorklistQuery::find(
        kStation, nowhere, QDate::currentDate(), QStringLiteral("ES"), kTimeout, &items);
    QCOMPARE(status.failure, DicomStatus::Refused);
    QVERIFY(items.isEmpty());
}

QTEST_GUILESS_MAIN(TestDicomNetwork)
#include "TestDicomNetwork.moc"
