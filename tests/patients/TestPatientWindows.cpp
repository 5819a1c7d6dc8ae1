// The patient manager and the patient information dialog on a real system.db: the list and
// its finder, the patient form, the records list on real capture files, and an examination
// in the real camera window on a test picture source.
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
#include "SelectableImageWidget.h"
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

// The listed texts of every row, columns 0 to `last` joined by "|"; a thumbnail as its width.
static QStringList rows(QTableWidget* list, int last = 0)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col <= last; ++col) {
            auto* label = qobject_cast<QLabel*>(list->cellWidget(row, col));
            cells << (!label                  ? list->item(row, col)->text()
                    : label->text().isEmpty() ? QString::number(label->pixmap(Qt::ReturnByValue).width())
                                              : label->text());
        }
        texts << cells.join('|');
    }
    return texts;
}

// Read-only fields, only Modify enabled, the Record tab open; and which tab is current.
static bool inViewState(DlgPatinfo& dialog, int tab)
{
    auto* tabs = child<QTabWidget>(&dialog, "tabWidget");
    return child<QLineEdit>(&dialog, "leFName")->isReadOnly() && !child(&dialog, "gbSex")->isEnabled()
        && !child(&dialog, "bnOK")->isEnabled() && !child(&dialog, "bnCancel")->isEnabled()
        && child(&dialog, "bnModify")->isEnabled() && tabs->isTabEnabled(1) && tabs->currentIndex() == tab;
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

// Double-clicks a record's remark and answers the editor with `button` after typing a new
// remark; returns the remark the editor offered.
static QString editRemark(QTableWidget* list, int row, const char* button)
{
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* text = child<QPlainTextEdit>(QApplication::activeModalWidget(), "text");
        offered = text->toPlainText();
        text->setPlainText("<i>healed</i>");
        click(QApplication::activeModalWidget(), button);
    });
    doubleClick(list, row, 3);
    return offered;
}

class TestPatientWindows : public QObject
{
    Q_OBJECT
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
        run("DELETE FROM recd");
        run("DELETE FROM user");
    }

    void managerListsFindsWarnsAndDeletesPatientWithRecordsButNotFiles()
    {
        const qlonglong anna = insertPatient({ "Anna", "Smith", "1980/02/03", "allergic to latex" });
        const qlonglong bob = insertPatient({ "Bob", "Annan", "1975/06/07", {} });
        insertPatient({ "ANNETTE", "Jones", "1980/01/02", {} });
        const qlonglong joanna = insertPatient({ "joanna", "Smithers", "1973/01/01", "VIP patient" });
        const qlonglong carl = insertPatient({ "Carl", "Jones", "1974/01/01", "vip" });
        const QString picture = TestSupport::writeFile("Capture/20200101000000000.bmp", "BM");
        // Anna's record added last is dated earliest: the list shows the record added last.
        for (const auto& [patient, stamp] : { std::pair(anna, "2024/03/05 10:00:00"),
                 { anna, "2024/03/09 11:00:00" }, { anna, "2024/03/01 09:00:00" },
                 { bob, "2024/03/05 08:00:00" }, { joanna, "2020/01/01 00:00:00" },
                 { joanna, "2020/01/01 00:00:00" }, { carl, "2020/01/01 00:00:00" } })
            insertRecord(patient, picture, stamp);
        run("INSERT INTO user (fnam,lnam,bday) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
            "SELECT i+1 FROM n WHERE i<60) SELECT 'P'||i,'Q','1980/01/01' FROM n");
        MsgBoxRecorder boxes(QMessageBox::No);
        FrmPatmgr w(nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* list = child<QTableWidget>(&w, "list");
        QTRY_COMPARE(list->rowCount(), 65);
        QCOMPARE(rows(list, 4).mid(0, 3),
            QStringList({ "Anna|Smith|1980/02/03|allergic to latex|2024/03/01 09:00:00",
                "Bob|Annan|1975/06/07||2024/03/05 08:00:00", "ANNETTE|Jones|1980/01/02||" }));
        // The examination date used to hide behind a horizontal scroll bar in the 800-pixel window.
        for (int width : { 800, 760 }) {
            w.resize(width, 600);
            QTRY_COMPARE(list->horizontalHeader()->length(), list->viewport()->width());
            QTRY_VERIFY(list->verticalScrollBar()->isVisible());
            QTRY_VERIFY(!list->horizontalScrollBar()->isVisible());
        }

        // The examination date keeps patients with a record on that day.
        child<QCheckBox>(&w, "cbDE")->click();
        child<QDateEdit>(&w, "deDE")->setDate(QDate(2024, 3, 9));
        QTRY_COMPARE(rows(list), QStringList { "Anna" });
        child<QDateEdit>(&w, "deDE")->setDate(QDate(2024, 3, 5));
        QTRY_COMPARE(rows(list), QStringList({ "Anna", "Bob" }));
        // The birthday narrows it further, but only while its box is ticked.
        child<QDateEdit>(&w, "deBD")->setDate(QDate(1975, 6, 7));
        QVERIFY(settle());
        QCOMPARE(list->rowCount(), 2);
        child<QCheckBox>(&w, "cbBD")->click();
        QTRY_COMPARE(rows(list), QStringList { "Bob" });
        child<QCheckBox>(&w, "cbBD")->click();
        child<QCheckBox>(&w, "cbDE")->click();
        QTRY_COMPARE(list->rowCount(), 65);

        // Names in any case, with "_" and "%" as wildcards, and every criterion combined.
        const auto find = [&](const char* edit, const char* text, const QStringList& expected) {
            child<QLineEdit>(&w, edit)->clear();
            QTest::keyClicks(child<QLineEdit>(&w, edit), text);
            QTRY_COMPARE(rows(list), expected);
        };
        find("leFN", "c_rl", { "Carl" });
        find("leFN", "a%e", { "ANNETTE" });
        find("leFN", "aN", { "Anna", "ANNETTE", "joanna" });
        find("leLN", "SMITH", { "Anna", "joanna" });
        find("leRK", "vip", { "joanna" });
        find("leFN", "", { "joanna" });
        find("leLN", "", { "joanna", "Carl" });

        click(&w, "bnOpen");
        QTRY_VERIFY(list->hasFocus());
        // A focused list has a current row but no highlighted one: that is no choice to delete.
        list->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
        child(&w, "bnDelete")->setFocus();
        click(&w, "bnDelete");
        QTRY_VERIFY(list->hasFocus());
        list->selectRow(0);
        click(&w, "bnDelete");
        QVERIFY(boxes.boxes.size() == 3 && boxes.boxes[1].text == boxes.boxes[0].text);
        QCOMPARE(boxes.boxes[0].text, Language::instance()->text("System", "sel_none"));
        QCOMPARE(
            boxes.boxes[2].text, Language::instance()->text("System", "del_patient").arg("joanna Smithers"));
        QVERIFY(settle());
        QCOMPARE(fields("SELECT count(*) FROM recd"), QStringList { "7" });
        boxes.answer = QMessageBox::Yes;
        click(&w, "bnDelete");
        QTRY_COMPARE(rows(list), QStringList { "Carl" });
        QCOMPARE(fields("SELECT count(*), sum(uid=?), (SELECT count(*) FROM user WHERE rowid=?) FROM recd",
                     { joanna, joanna }),
            QStringList({ "5", "0", "0" }));
        QVERIFY(QFile::exists(picture));
    }

    void patientFormAndRecordsFromCreationToExamination()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo created(nullptr);
        created.show();
        click(&created, "bnOK");
        QCOMPARE(created.focusWidget(), child(&created, "leFName"));
        child<QLineEdit>(&created, "leFName")->setText("Ab");
        click(&created, "bnOK");
        QCOMPARE(created.focusWidget(), child(&created, "leLName"));
        child<QLineEdit>(&created, "leLName")->setText("Cd");
        child<QDateEdit>(&created, "deBirthday")->setDate(QDate(2001, 5, 17));
        child<QRadioButton>(&created, "rbFemale")->setChecked(true);
        click(&created, "bnOK");
        QTRY_VERIFY(created.patientRowID() != 0 && inViewState(created, 0));
        const qlonglong id = qlonglong(created.patientRowID());
        QVERIFY(boxes.boxes.size() == 2
            && boxes.boxes[1].text == Language::instance()->text("System", "inp_null"));
        QCOMPARE(fields("SELECT rowid,fnam,lnam,sex,bday,ctry,area,strt,pcod,rmrk FROM user"),
            QStringList({ QString::number(id), "Ab", "Cd", "1", "2001/05/17", "NULL", "NULL", "NULL", "NULL",
                "NULL" }));

        // Loaded back: the view state at once, the values from the database.
        run("UPDATE user SET strt='Main St 1' WHERE rowid=?", { id });
        DlgPatinfo dialog(nullptr);
        dialog.show();
        dialog.setRowID(quint64(id));
        QVERIFY(inViewState(dialog, 1));
        QTRY_COMPARE(child<QLineEdit>(&dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        QVERIFY(child<QRadioButton>(&dialog, "rbFemale")->isChecked());
        click(&dialog, "bnModify");
        child<QLineEdit>(&dialog, "leFName")->setText("Changed");
        click(&dialog, "bnCancel");
        QTRY_COMPARE(child<QLineEdit>(&dialog, "leFName")->text(), QStringLiteral("Ab"));
        QVERIFY(dialog.isVisible() && inViewState(dialog, 0));
        click(&dialog, "bnModify");
        child<QLineEdit>(&dialog, "leStreet")->clear();
        child<QLineEdit>(&dialog, "leArea")->setText("New Town");
        click(&dialog, "bnOK");
        QTRY_COMPARE(fields("SELECT fnam,area,strt,count(*) FROM user"),
            QStringList({ "Ab", "New Town", "NULL", "1" }));

        DlgPatinfo discarded(nullptr);
        discarded.show();
        child<QLineEdit>(&discarded, "leFName")->setText("Not");
        click(&discarded, "bnCancel");
        QVERIFY(!discarded.isVisible());

        // The records list on real files: opening, the missing-file warning, remarks and deletion,
        // then an examination in the camera window whose captures are filed under the patient.
        const QString video = TestSupport::writeFile("Capture/delete.mp4", "video"); // makes the folder
        const QString present = writePicture("Capture/present.bmp", Qt::red);
        const QString missing = QDir::current().absoluteFilePath("Capture/vanished.mp4");
        const QString companion = writePicture(video + "-thumbnail.bmp", Qt::blue);
        insertRecord(id, present);
        const qlonglong record = insertRecord(id, missing, "2024/03/04 05:06:07", "old");
        insertRecord(id, video);
        insertRecord(id, writePicture("Capture/scan.BMP", Qt::gray));
        QStringList opened;
        DesktopOpener::setLauncher([&opened](const QString& path) { return (opened << path), true; });
        QVERIFY(loadRecords(dialog, id));
        auto* list = child<QTableWidget>(&dialog, "list");
        // Videos (capitals included) show the video mark, alone when there is no companion thumbnail.
        QCOMPARE(rows(list, 1),
            QStringList({ "48|present.bmp", "16|vanished.mp4", "64|delete.mp4", "16|scan.BMP" }));
        boxes.boxes.clear();
        boxes.answer = QMessageBox::No;
        doubleClick(list, 0, 1);
        doubleClick(list, 1, 2);
        DesktopOpener::setLauncher(nullptr);
        QCOMPARE(opened, QStringList { present });
        QCOMPARE(boxes.boxes.value(0).text, Language::instance()->text("System", "not_found").arg(missing));

        // The remark of a vanished file can still be edited; Cancel changes nothing.
        QCOMPARE(editRemark(list, 1, "bnCancel"), QStringLiteral("old"));
        QVERIFY(loadRecords(dialog));
        QCOMPARE(rows(list, 3).at(1), QStringLiteral("16|vanished.mp4|2024/03/04 05:06:07|old"));
        QCOMPARE(editRemark(list, 1, "bnOK"), QStringLiteral("old"));
        QTRY_COMPARE(rows(list, 3).at(1).section('|', 3), QStringLiteral("<i>healed</i>"));
        QCOMPARE(fields("SELECT rmk FROM recd WHERE rowid=?", { record }), QStringList { "<i>healed</i>" });

        // Delete asks first; then the row goes, with the file and its companion thumbnail.
        list->setCurrentCell(2, 1);
        child<QAction>(&dialog, "mDelete")->trigger();
        QVERIFY(loadRecords(dialog));
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(fields("SELECT count(*) FROM recd"), QStringList { "4" });
        boxes.answer = QMessageBox::Yes;
        list->setCurrentCell(2, 1);
        child<QAction>(&dialog, "mDelete")->trigger();
        QTRY_COMPARE(fields("SELECT count(*) FROM recd"), QStringList { "3" });
        QTRY_VERIFY(!QFile::exists(video) && !QFile::exists(companion) && QFile::exists(present));

        click(&dialog, "bnNew");
        QPointer<FrmCamera> camera = qobject_cast<FrmCamera*>(QApplication::activeModalWidget());
        QVERIFY(camera && camera->windowModality() == Qt::ApplicationModal);
        QCOMPARE(child<QLabel>(camera, "lbName")->text(), QStringLiteral("AbCd"));
        const auto panel = camera->findChildren<SelectableImageWidget*>(); // pictures only
        QVERIFY(panel.size() == 1 && panel.at(0)->property("path").toString() == present);
        int frames = 0;
        camera->findChild<CamViewer*>()->setPresentHook([&frames](const AVFrame*) { ++frames; });
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 3, 10000);
        QSignalSpy snapped(camera.data(), &FrmCamera::snap);
        child<QAction>(camera, "moSnap")->trigger();
        QTRY_VERIFY(rows(list, 1).value(3).contains(QRegularExpression("^48\\|.*\\.bmp$")));
        // A recording that rolls over into further segments: every segment is filed, listed
        // with its companion thumbnail (a tenth of the picture).
        camera->setSegmentMs(300);
        QSignalSpy recorded(camera.data(), &FrmCamera::record);
        child<QAction>(camera, "moRecd")->trigger();
        frames = 0;
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 25, 10000);
        child<QAction>(camera, "moRecd")->trigger();
        const int segments = recorded.value(0).value(0).toStringList().size();
        QVERIFY(recorded.size() == 1 && segments >= 2);
        QTRY_COMPARE(list->rowCount(), 4 + segments);
        QCOMPARE(rows(list, 1).mid(4).filter(QRegularExpression("^64\\|.*\\.mp4$")).size(), segments);
        camera->close();
        QTRY_VERIFY(camera.isNull());
        QVERIFY(dialog.isVisible() && boxes.boxes.size() == 3);

        // Captures are dated by their creation time, or by their last change where the file
        // system keeps none (such a date used to be empty, unseen by the finder).
        dialog.addList("/proc/version");
        QTRY_COMPARE(list->rowCount(), 5 + segments);
        for (const QString& path : { snapped.at(0).at(0).toString(), QStringLiteral("/proc/version") }) {
            const QFileInfo file(path);
            const QDateTime created = file.birthTime().isValid() ? file.birthTime() : file.lastModified();
            QCOMPARE(fields("SELECT dtm FROM recd WHERE fil=?", { path }),
                QStringList { created.toString("yyyy/MM/dd HH:mm:ss") });
        }
        // Thumbnails are reused only while their file is unchanged.
        QCOMPARE(thumbnail(dialog, 0).pixelColor(5, 5), QColor(Qt::red));
        writePicture(present, Qt::green);
        QFile file(present);
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        QVERIFY(loadRecords(dialog));
        QCOMPARE(thumbnail(dialog, 0).pixelColor(5, 5), QColor(Qt::green));
        QFile::remove(present);
        QVERIFY(loadRecords(dialog));
        QCOMPARE(thumbnail(dialog, 0),
            QImage(":/res/notfound.png").scaled(48, 27).convertToFormat(QImage::Format_ARGB32));
    }
};

KARVEX_TEST_MAIN(TestPatientWindows)
#include "TestPatientWindows.moc"
