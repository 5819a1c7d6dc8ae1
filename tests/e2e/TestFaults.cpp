// Faults during an examination: a watermark file that is no picture, a capture folder that
// cannot be written, a camera that vanishes while recording, the program killed while
// recording, and a storm of finder keystrokes. Each ends with the program (or, after the
// kill, its files) in order and nothing lost that was already saved.

#include "AppSettings.h"
#include "CamViewer.h"
#include "Database.h"
#include "DlgPatinfo.h"
#include "E2eSupport.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtEndian>

#include <memory>

using namespace E2e;

namespace {
quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    chunk += type + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(type + data), crc.data());
    return chunk + crc;
}

// A well-formed PNG header that announces a picture far larger than memory.
QByteArray hugePngHeader()
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(60000, header.data());
    qToBigEndian<quint32>(60000, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 6; // RGBA
    const QByteArray pixels = qCompress(QByteArray(64, '\0')).mid(4); // a bare zlib stream
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", pixels)
        + pngChunk("IEND", QByteArray());
}

QByteArray redSquarePng()
{
    QImage square(40, 40, QImage::Format_ARGB32);
    square.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    square.save(&buffer, "PNG");
    return png;
}

// Top-level boxes of an MP4 file named `type`; a box still being written is not counted.
int countBoxes(const QString& path, const QByteArray& type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.readAll();
    int found = 0;
    qint64 at = 0;
    while (at + 8 <= data.size()) {
        qint64 size = qFromBigEndian<quint32>(data.constData() + at);
        if (size == 1 && at + 16 <= data.size())
            size = qint64(qFromBigEndian<quint64>(data.constData() + at + 8));
        if (size < 8 || at + size > data.size())
            break;
        if (data.mid(int(at) + 4, 4) == type)
            ++found;
        at += size;
    }
    return found;
}

// True when files cannot be created in the folder, even by this (root) process.
bool refusesFiles(const QString& folder)
{
    QFile probe(folder + QStringLiteral("karvex-probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return true;
    probe.remove();
    return false;
}
} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<DlgPatinfo> dialog;
    QPointer<FrmCamera> camera;
    QTableWidget* records = nullptr;
    int frames = 0;
    qlonglong patient = 0;

    bool waitForFrames(int count)
    {
        const int target = frames + count;
        return QTest::qWaitFor([&] { return frames >= target; }, 20000);
    }

    // A patient's dialog with the camera opened from its Record tab, as for an examination.
    void openExamination(const QByteArray& lavfiGraph)
    {
        plugCamera(lavfiGraph);
        patient = sql("INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Ida','Holm',1,'1970/07/07')")
                      .lastInsertId()
                      .toLongLong();
        dialog = std::make_unique<DlgPatinfo>(nullptr);
        records = child<QTableWidget>(dialog.get(), "list");
        dialog->show();
        QSignalSpy loaded(dialog.get(), &DlgPatinfo::recordsLoaded);
        dialog->setRowID(quint64(patient));
        QVERIFY(loaded.wait());
        click(child<QPushButton>(dialog.get(), "bnNew"));
        camera = visibleWindow<FrmCamera>();
        QVERIFY(camera);
        frames = 0;
        camera->findChild<CamViewer*>()->setPresentHook([this](const AVFrame*) { ++frames; });
        QVERIFY2(waitForFrames(3), "the camera shows no picture");
    }

    void closeExamination()
    {
        if (camera)
            camera->close();
        QTRY_VERIFY(camera.isNull());
        dialog.reset();
        unplugCamera();
    }

    int recordsFiled() { return sqlValue("SELECT COUNT(*) FROM recd WHERE uid=?", { patient }).toInt(); }

private slots:
    void initTestCase()
    {
        cameraKeysRead();
        TestSupport::copyShippedLanguages();
        Language::instance()->load(
            QDir::current().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
        QVERIFY(Database::instance());
        QTRY_VERIFY(checkDb().tables().contains(QStringLiteral("recd")));
    }

    void cleanup() { closeExamination(); }

    void watermarkThatIsNoPictureShowsNoWatermark_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("shown");
        QTest::newRow("a real picture") << redSquarePng() << true;
        QTest::newRow("text named .png") << QByteArray("this is not a picture\n") << false;
        QTest::newRow("cut-off picture") << redSquarePng().left(60) << false;
        QTest::newRow("60000 x 60000 announced") << hugePngHeader() << false;
    }

    void watermarkThatIsNoPictureShowsNoWatermark()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, shown);
        const QString picture = TestSupport::writeFile(QStringLiteral("watermark.png"), content);
        AppSettings().setValue(QStringLiteral("WMarker/type"), QStringLiteral("1"));
        AppSettings().setValue(QStringLiteral("WMarker/path"), picture);
        // A small blue picture in a large view: the corner where a watermark goes is black.
        plugCamera("color=c=blue:size=320x240:rate=30,realtime");
        camera = new FrmCamera(nullptr);
        camera->setAttribute(Qt::WA_DeleteOnClose);
        camera->show();
        auto* view = camera->findChild<CamViewer*>();
        view->setReadBack(true);
        view->setPresentHook([this](const AVFrame*) { ++frames; });
        QVERIFY(waitForFrames(5));
        const QImage screen = view->readPixels();
        QVERIFY(!screen.isNull());
        const QColor corner = screen.pixelColor(screen.width() - 20, screen.height() - 20);
        QCOMPARE(corner == QColor(Qt::red), shown);
        if (!shown)
            QCOMPARE(corner, QColor(Qt::black));
        QVERIFY(waitForFrames(3)); // still live
        AppSettings().remove(QStringLiteral("WMarker"));
    }

    void unwritableCaptureFolderAddsAndFilesNothing()
    {
        const QString folder = QStringLiteral("/sys/kernel/");
        if (!QFileInfo(folder).isDir() || !refusesFiles(folder))
            QSKIP("no folder here refuses files to this process");
        AppSettings().setValue(QStringLiteral("SavePath/path"), folder);
        MsgBoxRecorder boxes(QMessageBox::Ok);
        openExamination("testsrc2=size=320x240:rate=30,realtime");
        QAction* snap = child<QAction>(camera, "moSnap");
        QAction* record = child<QAction>(camera, "moRecd");
        QSignalSpy snaps(camera, &FrmCamera::snap);
        QSignalSpy recordings(camera, &FrmCamera::record);

        for (int press = 0; press < 2; ++press) {
            snap->trigger();
            const int keys = cameraKeysRead();
            pressCameraKey(2);
            QTRY_COMPARE(cameraKeysRead(), keys + 1);
            QVERIFY(!record->isChecked());
            QVERIFY(waitForFrames(2));
        }
        QVERIFY(camera->findChildren<SelectableImageWidget*>().isEmpty());
        QCOMPARE(snaps.count(), 0);
        QCOMPARE(recordings.count(), 0);
        QCOMPARE(recordsFiled(), 0);
        QCOMPARE(records->rowCount(), 0);

        // A folder that does not exist at all is reported, once per command.
        AppSettings().setValue(
            QStringLiteral("SavePath/path"), QDir::current().absoluteFilePath("settings.ini") + "/Capture/");
        snap->trigger();
        record->trigger();
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes.at(0).text, Language::instance()->text("System", "dir_err"));
        QVERIFY(!record->isChecked());
        QCOMPARE(recordsFiled(), 0);

        // Back to a folder that takes files, the same window captures and files again.
        AppSettings().remove(QStringLiteral("SavePath"));
        snap->trigger();
        QCOMPARE(snaps.count(), 1);
        QTRY_COMPARE(recordsFiled(), 1);
        QCOMPARE(boxes.boxes.size(), 2);
    }

    void cameraVanishingWhileRecordingFinishesAndFilesTheRecording()
    {
        MsgBoxRecorder boxes(QMessageBox::Ok);
        // The camera's stream ends after six seconds, as when its cable is pulled.
        openExamination("testsrc2=size=640x480:rate=30:duration=6,realtime");
        pressCameraKey(1);
        QTRY_COMPARE(recordsFiled(), 1);
        pressCameraKey(2);
        QAction* record = child<QAction>(camera, "moRecd");
        QTRY_VERIFY(record->isChecked());

        QTRY_VERIFY_WITH_TIMEOUT(!boxes.boxes.isEmpty(), 20000);
        QCOMPARE(boxes.boxes.first().text, Language::instance()->text("System", "grab_eror"));
        QVERIFY(!record->isChecked());
        QTRY_COMPARE(recordsFiled(), 2);
        QTRY_COMPARE(records->rowCount(), 2);

        const QString video
            = sqlValue("SELECT fil FROM recd WHERE uid=? AND fil LIKE '%.mp4'", { patient }).toString();
        const Media media = probe(video);
        QVERIFY(media.opened);
        QVERIFY2(media.decodedFrames >= 30, qPrintable(QString::number(media.decodedFrames)));
        QVERIFY(QFileInfo::exists(video + QStringLiteral("-thumbnail.bmp")));

        // Told once; the window stays usable and the camera, chosen again, shows its picture.
        const int checks = diskChecks();
        QTRY_VERIFY(diskChecks() >= checks + 2);
        QCOMPARE(boxes.boxes.size(), 1);
        QAction* entry = nullptr;
        const QList<QAction*> devices = child<QMenu>(camera, "mCams")->actions();
        for (QAction* action : devices) {
            if (action->data().toString() == QLatin1String(kCameraNode))
                entry = action;
        }
        QVERIFY(entry);
        entry->trigger();
        QVERIFY(waitForFrames(3));
    }

    void killedWhileRecordingLeavesPlayableVideoAndIntactDatabase()
    {
        QDir().mkpath(QStringLiteral("killed"));
        const QString folder = QDir::current().absoluteFilePath(QStringLiteral("killed"));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(KARVEX_EXAM_CHILD), { folder });
        QVERIFY(child.waitForStarted());
        QByteArray said;
        const auto heard = [&](const QByteArray& line) {
            said += child.readAllStandardOutput();
            return said.contains(line) || said.contains("failed");
        };
        QVERIFY2(QTest::qWaitFor([&] { return heard("recording"); }, 60000), said.constData());
        QVERIFY2(said.contains("filed 1") && !said.contains("failed"), said.constData());

        // Let a few seconds of video reach the file, then kill without warning.
        const QString capture = folder + QStringLiteral("/Capture");
        QString video;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QStringList found = QDir(capture).entryList({ QStringLiteral("*.mp4") });
                video = found.isEmpty() ? QString() : capture + QLatin1Char('/') + found.first();
                return !video.isEmpty() && countBoxes(video, "moof") >= 3;
            },
            30000));
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const Media media = probe(video);
        QVERIFY2(media.opened, qPrintable(video));
        QCOMPARE(media.codec, QStringLiteral("h264"));
        QVERIFY2(media.decodedFrames >= 60, qPrintable(QString::number(media.decodedFrames)));

        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("killed"));
            db.setDatabaseName(folder + QStringLiteral("/system.db"));
            QVERIFY(db.open());
            QSqlQuery check(db);
            QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
            QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(check.exec(QStringLiteral("SELECT fnam FROM user")) && check.next());
            QCOMPARE(check.value(0).toString(), QStringLiteral("Karl"));
            QVERIFY(check.exec(QStringLiteral("SELECT fil FROM recd")) && check.next());
            QVERIFY(check.value(0).toString().endsWith(QLatin1String(".bmp")));
            QVERIFY(QFileInfo::exists(check.value(0).toString()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("killed"));
    }

    void finderKeystrokeStormEndsWithTheRightList()
    {
        QSqlDatabase db = checkDb();
        db.transaction();
        for (int i = 0; i < 300; ++i) {
            sql("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,0,'1980/01/01')",
                { QStringLiteral("Name%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("Storm") });
        }
        db.commit();

        FrmPatmgr manager(nullptr);
        manager.show();
        auto* list = child<QTableWidget>(&manager, "list");
        auto* finder = child<QLineEdit>(&manager, "leFN");
        QTRY_VERIFY(list->rowCount() >= 300);

        // 5,000 keystrokes as fast as they come: typing and rubbing out, ending on "Name12".
        const QString typed = QStringLiteral("Name12");
        int strokes = 0;
        while (strokes < 5000 - typed.size()) {
            for (int i = 0; i < 5 && strokes < 5000 - typed.size(); ++i, ++strokes)
                QTest::keyClick(finder, char('a' + (strokes % 26)));
            for (int i = 0; i < 5 && strokes < 5000 - typed.size(); ++i, ++strokes)
                QTest::keyClick(finder, Qt::Key_Backspace);
        }
        finder->clear();
        QTest::keyClicks(finder, typed);

        // Name120 ... Name129 and Name12 itself is not there: exactly ten patients.
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 10, 120000);
        for (int row = 0; row < list->rowCount(); ++row)
            QVERIFY(cellText(list, row, 0).startsWith(typed));
        // Still answering: the next criterion narrows the list at once.
        QTest::keyClicks(child<QLineEdit>(&manager, "leLN"), QStringLiteral("Holm"));
        QTRY_COMPARE(list->rowCount(), 0);
    }
};

KARVEX_TEST_MAIN(TestFaults)
#include "TestFaults.moc"
