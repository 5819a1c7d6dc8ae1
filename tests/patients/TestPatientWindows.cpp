// The patient manager and the patient information dialog on a real system.db: the list and
// its finder, the patient form, and the records list on real capture files. The whole
// examination through the camera window is the end-to-end test's; here only what it leaves.
#include "AppSettings.h"
#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "DesktopOpener.h"
#include "DiskSpace.h"
#include "DlgPatinfo.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "PatientsSupport.h"
#include "TestSupport.h"

#include <QtWidgets>

using namespace PatientsSupport;

template <typename T = QWidget> static T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

static void click(QWidget* window, const char* button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

static qlonglong insertPatient(const QVariantList& binds)
{
    return run("INSERT INTO user (fnam,lnam,bday,rmrk) VALUES (?,?,?,?)", binds).lastInsertId().toLongLong();
}

static qlonglong insertRecord(qlonglong patient, const QString& path,
    const QString& stamp = QStringLiteral("2024/03/04 05:06:07"), const QVariant& remark = {})
{
    const QVariantList binds { patient, path, stamp, remark };
    return run("INSERT INTO recd (uid,fil,dtm,rmk) VALUES (?,?,?,?)", binds).lastInsertId().toLongLong();
}

static QString writePicture(const QString& path, Qt::GlobalColor colour)
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "BMP");
    return QFileInfo(path).absoluteFilePath();
}

static QString systemText(const char* key)
{
    return Language::instance()->text(QStringLiteral("System"), QLatin1String(key));
}

// The text of one listed cell; a thumbnail cell as the width of its picture.
static QString cell(QTableWidget* list, int row, int column)
{
    auto* label = qobject_cast<QLabel*>(list->cellWidget(row, column));
    if (!label)
        return list->item(row, column) ? list->item(row, column)->text() : QString();
    return label->text().isEmpty() ? QString::number(label->pixmap(Qt::ReturnByValue).width())
                                   : label->text();
}

// The first column of every listed row.
static QStringList firstColumn(QTableWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << cell(list, row, 0);
    return texts;
}

static QImage thumbnail(DlgPatinfo& dialog, int row)
{
    auto* label = qobject_cast<QLabel*>(child<QTableWidget>(&dialog, "list")->cellWidget(row, 0));
    return label->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A real double click on a records list cell: press and release, then the double click.
static void doubleClick(QTableWidget* list, int row, int column)
{
    const QPoint at = list->visualRect(list->model()->index(row, column)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Shows the stored patient (or reloads the shown one) and waits for its records list; every
// request posted before has run by then.
static bool loadRecords(DlgPatinfo& dialog, qlonglong patient = 0)
{
    QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
    patient ? dialog.setRowID(quint64(patient)) : dialog.load();
    return loaded.wait();
}

class TestPatientWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<MsgBoxRecorder> boxes;
    std::unique_ptr<FrmPatmgr> manager;
    std::unique_ptr<DlgPatinfo> dialog;
    qlonglong patient = 0;
    int frames = 0; // pictures the camera window presented (it may outlive a failed check)
    QString present, missing, video, companion;

    QTableWidget* list(QWidget* window) const { return child<QTableWidget>(window, "list"); }

    // Five patients and 60 more to fill the list; records of Anna (added last dated earliest),
    // Bob, joanna (two) and Carl on one existing picture.
    void openManagerOnPatients()
    {
        const qlonglong anna = insertPatient({ "Anna", "Smith", "1980/02/03", "allergic to latex" });
        const qlonglong bob = insertPatient({ "Bob", "Annan", "1975/06/07", {} });
        insertPatient({ "ANNETTE", "Jones", "1980/01/02", {} });
        const qlonglong joanna = insertPatient({ "joanna", "Smithers", "1973/01/01", "VIP patient" });
        const qlonglong carl = insertPatient({ "Carl", "Jones", "1974/01/01", "vip" });
        present = TestSupport::writeFile("Capture/20200101000000000.bmp", "BM");
        for (const auto& [id, stamp] : { std::pair(anna, "2024/03/05 10:00:00"),
                 { anna, "2024/03/09 11:00:00" }, { anna, "2024/03/01 09:00:00" },
                 { bob, "2024/03/05 08:00:00" }, { joanna, "2020/01/01 00:00:00" },
                 { joanna, "2020/01/01 00:00:00" }, { carl, "2020/01/01 00:00:00" } })
            insertRecord(id, present, stamp);
        run("INSERT INTO user (fnam,lnam,bday) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
            "SELECT i+1 FROM n WHERE i<60) SELECT 'P'||i,'Q','1980/01/01' FROM n");
        manager.reset(new FrmPatmgr(nullptr));
        manager->show();
        QVERIFY(QTest::qWaitForWindowActive(manager.get()));
        QTRY_COMPARE(list(manager.get())->rowCount(), 65);
    }
    void find(const char* edit, const QString& text) const
    {
        child<QLineEdit>(manager.get(), edit)->clear();
        QTest::keyClicks(child<QLineEdit>(manager.get(), edit), text);
    }
    // Chooses joanna (alone in the list) and presses Delete.
    void deleteJoanna()
    {
        find("leFN", QStringLiteral("joanna"));
        QTRY_COMPARE(firstColumn(list(manager.get())), QStringList { "joanna" });
        list(manager.get())->selectRow(0);
        click(manager.get(), "bnDelete");
    }

    // Patient Ab Cd, stored, in a dialog in its view state.
    void createPatient()
    {
        dialog.reset(new DlgPatinfo(nullptr));
        dialog->show();
        child<QLineEdit>(dialog.get(), "leFName")->setText("Ab");
        child<QLineEdit>(dialog.get(), "leLName")->setText("Cd");
        child<QDateEdit>(dialog.get(), "deBirthday")->setDate(QDate(2001, 5, 17));
        child<QRadioButton>(dialog.get(), "rbFemale")->setChecked(true);
        click(dialog.get(), "bnOK");
        QTRY_VERIFY(dialog->patientRowID() != 0);
        patient = qlonglong(dialog->patientRowID());
    }

    // A stored patient with four records on real files, shown with its records list: a picture,
    // a video that has vanished (remark "old"), a video with its companion thumbnail, a picture
    // with a capital extension.
    void openRecords()
    {
        patient = insertPatient({ "Ab", "Cd", "2001/05/17", {} });
        video = TestSupport::writeFile("Capture/delete.mp4", "video"); // makes the folder
        present = writePicture("Capture/present.bmp", Qt::red);
        missing = QDir::currentPath() + QStringLiteral("/Capture/vanished.mp4");
        companion = writePicture(video + "-thumbnail.bmp", Qt::blue);
        insertRecord(patient, present);
        insertRecord(patient, missing, "2024/03/04 05:06:07", "old");
        insertRecord(patient, video);
        insertRecord(patient, writePicture("Capture/scan.BMP", Qt::gray));
        dialog.reset(new DlgPatinfo(nullptr));
        dialog->show();
        QVERIFY(loadRecords(*dialog, patient));
    }
    QTableWidget* records() const { return list(dialog.get()); }
    void deleteRecord(int row)
    {
        records()->setCurrentCell(row, 1);
        child<QAction>(dialog.get(), "mDelete")->trigger();
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
        // The hardware boundary: one camera streaming a lavfi test picture, plenty of disk space.
        CameraDevices::setSource([] {
            return QList<CameraDevices::Device> { { "/dev/video0", "ZEN-LUX" } };
        });
        CamGrabber::setInputResolver([](const QByteArray&) {
            return qMakePair(QByteArray("lavfi"), QByteArray("testsrc2=size=640x480:rate=30,realtime"));
        });
        DiskSpace::setSource([](const QString&) { return 100LL * 1024 * 1024 * 1024; });
    }

    void init()
    {
        run("DELETE FROM recd_dicom");
        run("DELETE FROM recd");
        run("DELETE FROM user");
        QDir(QStringLiteral("Capture")).removeRecursively();
        boxes.reset(new MsgBoxRecorder(QMessageBox::No));
    }
    void cleanup()
    {
        dialog.reset();
        manager.reset();
        boxes.reset();
        DesktopOpener::setLauncher(nullptr);
        QVERIFY(settle());
    }

    void managerListsTheDateOfTheRecordAddedLast()
    {
        openManagerOnPatients();
        QCOMPARE(cell(list(manager.get()), 0, 4), QStringLiteral("2024/03/01 09:00:00"));
    }
    void openShowsTheChosenPatient()
    {
        openManagerOnPatients();
        list(manager.get())->selectRow(1);
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto* name = child<QLineEdit>(QApplication::activeModalWidget(), "leFName");
            (void)QTest::qWaitFor([name] { return !name->text().isEmpty(); });
            shown = name->text();
            QApplication::activeModalWidget()->close();
        });
        click(manager.get(), "bnOpen");
        QCOMPARE(shown, QStringLiteral("Bob"));
    }

    void deleteWithoutAChoiceSaysNothingIsSelected()
    {
        openManagerOnPatients();
        // A focused list has a current row but no highlighted one: that is no choice to delete.
        list(manager.get())->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
        click(manager.get(), "bnDelete");
        QCOMPARE(
            boxes->boxes.value(0).text, QStringLiteral("Nothing is selected. Please select an entry first."));
    }

    void confirmedDeleteKeepsTheFiles()
    {
        openManagerOnPatients();
        boxes->answer = QMessageBox::Yes;
        deleteJoanna();
        QTRY_COMPARE(fields("SELECT count(*) FROM recd"), QStringList { "5" });
        QVERIFY(QFile::exists(present));
    }

    void modificationIsStored_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no second patient") << QStringLiteral("count(*)") << "1";
    }
    void modificationIsStored()
    {
        QFETCH(QString, column);
        QFETCH(QString, expected);
        createPatient();
        run("UPDATE user SET strt='Main St 1' WHERE rowid=?", { patient });
        QVERIFY(loadRecords(*dialog, patient));
        click(dialog.get(), "bnModify");
        child<QLineEdit>(dialog.get(), "leStreet")->clear();
        child<QLineEdit>(dialog.get(), "leArea")->setText("New Town");
        click(dialog.get(), "bnOK");
        QTRY_COMPARE(fields(QStringLiteral("SELECT %1 FROM user").arg(column)), QStringList(expected));
    }

    void recordsListShowsAThumbnailOrTheVideoMark_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("width");
        QTest::newRow("video with companion: the companion") << 2 << "64";
        QTest::newRow("picture in capitals: the mark") << 3 << "16";
    }
    void recordsListShowsAThumbnailOrTheVideoMark()
    {
        QFETCH(int, row);
        QFETCH(QString, width);
        openRecords();
        QCOMPARE(cell(records(), row, 0), width);
    }

    void doubleClickOnAVanishedFileNamesIt()
    {
        openRecords();
        DesktopOpener::setLauncher([](const QString&) { return true; });
        doubleClick(records(), 1, 2);
        QCOMPARE(boxes->boxes.value(0).text, systemText("not_found").arg(missing));
    }

    void confirmedRecordDeleteRemovesTheCompanionThumbnail()
    {
        openRecords();
        boxes->answer = QMessageBox::Yes;
        deleteRecord(2);
        QTRY_VERIFY(!QFile::exists(companion));
    }

    void everySegmentOfARecordingIsListedWithItsThumbnail()
    {
        openRecords();
        click(dialog.get(), "bnNew");
        QPointer<FrmCamera> camera = qobject_cast<FrmCamera*>(QApplication::activeModalWidget());
        frames = 0;
        camera->findChild<CamViewer*>()->setPresentHook([this](const AVFrame*) { ++frames; });
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 3, 10000);
        // A recording that rolls over into further segments; thumbnails are a tenth of the picture.
        camera->setSegmentMs(300);
        QSignalSpy recorded(camera.data(), &FrmCamera::record);
        child<QAction>(camera, "moRecd")->trigger();
        frames = 0;
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 25, 10000);
        child<QAction>(camera, "moRecd")->trigger();
        const int segments = recorded.value(0).value(0).toStringList().size();
        QVERIFY(segments >= 2);
        QTRY_COMPARE(records()->rowCount(), 4 + segments);
        for (int row = 4; row < records()->rowCount(); ++row)
            QCOMPARE(cell(records(), row, 0), QStringLiteral("64"));
    }

    void examinationEndQueuesItsCapturesWhenAutomaticSendingIsOn()
    {
        AppSettings().setAutoSendToArchive(true);
        openRecords();
        click(dialog.get(), "bnNew");
        QPointer<FrmCamera> camera = qobject_cast<FrmCamera*>(QApplication::activeModalWidget());
        QVERIFY(camera);
        QTRY_VERIFY(dialog->currentExam() != 0);
        dialog->addList(writePicture("Capture/during.bmp", Qt::green));
        QTRY_COMPARE(fields("SELECT count(*) FROM recd_dicom"), QStringList { "1" });
        camera->close();
        // No archive is set up here, so the record stays waiting.
        QTRY_COMPARE(fields("SELECT state FROM recd_dicom"), QStringList { "waiting" });
        AppSettings().setAutoSendToArchive(false);
    }

    void captureWithoutCreationTimeIsDatedByItsLastChange()
    {
        // Such a date used to be empty, unseen by the finder.
        openRecords();
        const QString path = TestSupport::writeFile(QStringLiteral("Capture/old.bmp"), "BM");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(
            QDateTime(QDate(2021, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime));
        if (QFileInfo(path).birthTime().isValid())
            QSKIP("the file system keeps creation times: the last change is not needed");
        dialog->addList(path);
        QTRY_COMPARE(
            fields("SELECT dtm FROM recd WHERE fil=?", { path }), QStringList { "2021/02/03 04:05:06" });
    }

    void vanishedPictureShowsTheNotFoundMark()
    {
        openRecords();
        QFile::remove(present);
        QVERIFY(loadRecords(*dialog));
        QCOMPARE(thumbnail(*dialog, 0),
            QImage(":/res/notfound.png").scaled(48, 27).convertToFormat(QImage::Format_ARGB32));
    }
};

KARVEX_TEST_MAIN(TestPatientWindows)
#include "TestPatientWindows.moc"
