// Bad input and faults: damaged files around the program, hostile patient texts, a capture
// folder that cannot be written, a camera that vanishes while recording, the program killed
// while recording, a storm of finder keystrokes. Each ends with the program (or, after the
// kill, its files) in order and nothing lost that was already saved.

#include "CamViewer.h"
#include "E2eSupport.h"
#include "Language.h"

using namespace E2e;

namespace {
// True when the label draws its text exactly as plain text would be drawn.
bool drawsLiterally(QLabel* label)
{
    const QImage shown = label->grab().toImage();
    const Qt::TextFormat format = label->textFormat();
    label->setTextFormat(Qt::PlainText);
    const QImage plain = label->grab().toImage();
    label->setTextFormat(format);
    return shown == plain;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    QPointer<FrmCamera> camera;
    QPointer<DlgPatinfo> dialog;
    QTableWidget* records = nullptr;
    qlonglong patient = 0;

    void openCamera(FrmCamera* window)
    {
        camera = window;
        camera->setAttribute(Qt::WA_DeleteOnClose);
        camera->show();
        watchPictures(camera);
        QVERIFY2(waitForPictures(3), "the camera shows no picture");
    }

    // The camera opened from a new patient's Record tab, as for an examination.
    void openExamination(const QByteArray& lavfiGraph)
    {
        plugCamera(lavfiGraph);
        patient = sql("INSERT INTO user (fnam,lnam,bday) VALUES ('Ida','Holm','1970/07/07')")
                      .lastInsertId()
                      .toLongLong();
        dialog = new DlgPatinfo(nullptr);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        records = child<QTableWidget>(dialog, "list");
        dialog->show();
        QSignalSpy loaded(dialog, &DlgPatinfo::recordsLoaded);
        dialog->setRowID(quint64(patient));
        QVERIFY(loaded.wait());
        click(child<QPushButton>(dialog, "bnNew"));
        openCamera(visibleWindow<FrmCamera>());
    }

    // A settings file with binary junk, broken lines and values no setting takes.
    static void writeGarbageSettings()
    {
        static const char junk[] = "\x00\x01\xff\xfe binary junk\n[[[\n=no key\nkey without value\n";
        TestSupport::writeFile(QStringLiteral("settings.ini"),
            QByteArray(junk, sizeof junk - 1)
                + "[BtnMgr]\nbtn1=99\nbtn2=-7\n[WMarker]\ntype=banana\ntext=\"   \"\npath=/no/such.png\n"
                  "[Language]\npath=/no/such/folder/lang_xx.ini\n[Hospital]\nname=St. Anna Hospital\n"
                  "[Unknown section\n\xc3\x28=\xa0\xa1\n");
    }
    // A language file with broken lines, an unclosed section, invalid UTF-8 and references
    // that go round in circles.
    static QString writeLanguageFile()
    {
        return TestSupport::writeFile(QStringLiteral("language/broken.ini"),
            "[System]\nname=Broken\nthis line has no equals sign\n=value without key\n[DlgType\n"
            "bad\xff\xfe=\xc3\x28 invalid UTF-8\n"
            "[System]\nhint=@System/hint\nask=@System/msg_exit\nmsg_exit=@System/ask\n"
            "[DlgType]\nlbCAM=Kamera\nlbPAT=@DlgType/lbPAT\n");
    }

    // A patient typed into the form with markup, quotes, SQL, wildcards, emoji and 10,000
    // characters, beside a plain one, in a manager that stays open for the test.
    const QString hostileFirst = QStringLiteral("<b>Zoë</b> O'Brien \"Ted\" 100% 😀");
    const QString hostileLast
        = QStringLiteral("Smith'); DROP TABLE user;-- _%").leftJustified(10000, QLatin1Char('~'));
    const QString hostileRemark
        = QStringLiteral("Allergic: 'latex' & \"iodine\" 50%\nÄ😀ß").repeated(300).left(10000);
    std::unique_ptr<FrmPatmgr> manager;
    FrmPatmgr* storeHostilePatient()
    {
        sql("DELETE FROM recd");
        sql("DELETE FROM user");
        sql("INSERT INTO user (fnam,lnam,bday) VALUES ('Eva','Plain','1990/01/01')");
        manager.reset(new FrmPatmgr(nullptr));
        manager->show();
        withModal<DlgPatinfo>([&] { click(child<QPushButton>(manager.get(), "bnNew")); },
            [&](DlgPatinfo* form) {
                child<QLineEdit>(form, "leFName")->setText(hostileFirst);
                child<QLineEdit>(form, "leLName")->setText(hostileLast);
                child<QTextEdit>(form, "teRmrk")->setPlainText(hostileRemark);
                child<QDateEdit>(form, "deBirthday")->setDate(QDate(1985, 6, 1));
                click(child<QPushButton>(form, "bnOK"));
                QTRY_VERIFY(form->patientRowID() != 0);
            });
        return manager.get();
    }

    // Takes a snapshot and starts (and tries to stop) a recording in the open camera window.
    void tryToCapture()
    {
        child<QAction>(camera, "moSnap")->trigger();
        child<QAction>(camera, "moRecd")->trigger();
        QVERIFY(waitForPictures(2));
    }

    int recordsFiled() const
    {
        return sqlValue("SELECT COUNT(*) FROM recd WHERE uid=?", { patient }).toInt();
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        plugCamera("testsrc2=size=320x240:rate=30,realtime");
    }

    void cleanup()
    {
        if (camera)
            camera->close();
        if (dialog)
            dialog->close();
        QTRY_VERIFY(camera.isNull());
        QTRY_VERIFY(dialog.isNull());
        manager.reset();
        QFile::remove(QStringLiteral("settings.ini"));
        Language::instance()->load(
            QDir::current().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
    }
    void programsOwnWriteKeepsWhatTheOperatorSaved()
    {
        writeGarbageSettings();
        AppSettings().setValue("BtnMgr/btn1", "0");
        QCOMPARE(AppSettings().value("Hospital/name", QString()), QStringLiteral("St. Anna Hospital"));
    }

    void databaseFileThatIsNotADatabaseIsReportedAndLeftAlone()
    {
        const QByteArray notADatabase
            = "Ward 3 shopping list: gauze, gloves, coffee\n" + QByteArray(4096, '\xa5');
        const QString path = TestSupport::writeFile(QStringLiteral("system.db"), notADatabase);
        MsgBoxRecorder boxes(QMessageBox::Ok);
        {
            FrmPatmgr manager(nullptr);
            manager.show();
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes.at(0).text, Language::instance()->text("System", "db_eror"));
            // Nothing can be saved, and the window says so instead of offering an empty form.
            click(child<QPushButton>(&manager, "bnNew"));
            QVERIFY(!QApplication::activeModalWidget());
            QCOMPARE(boxes.boxes.size(), 2);
        }
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), notADatabase);
        QVERIFY(file.remove());
    }

    void referenceToItselfEndsWithAText()
    {
        Language::instance()->load(writeLanguageFile());
        DlgType start;
        QVERIFY(!child<QLabel>(&start, "lbPAT")->text().isEmpty());
    }

    void hostilePatientTextsAreStoredExactly()
    {
        storeHostilePatient();
        // Stored exactly; nothing was executed from the text.
        const QString stored = "SELECT COUNT(*) FROM user WHERE fnam=? AND lnam=? AND rmrk=?";
        QCOMPARE(sqlValue(stored, { hostileFirst, hostileLast, hostileRemark }).toInt(), 1);
    }
    void reportShowsTheNameAsTyped()
    {
        storeHostilePatient();
        DlgExport report(nullptr);
        report.setInfo(
            quint64(sqlValue("SELECT rowid FROM user WHERE fnam=?", { hostileFirst }).toLongLong()), {});
        report.show();
        QVERIFY(QTest::qWaitForWindowExposed(&report));
        QTRY_COMPARE(child<QLabel>(&report, "lvName")->text(), hostileFirst + QLatin1Char(' ') + hostileLast);
        QVERIFY2(
            drawsLiterally(child<QLabel>(&report, "lvName")), "the report form shows the name as markup");
    }

    void watermarkThatIsNoPictureShowsNoWatermark_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text named .png") << QByteArray("this is not a picture\n");
    }

    void watermarkThatIsNoPictureShowsNoWatermark()
    {
        QFETCH(QByteArray, content);
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("watermark.png"));
        QImage red(40, 40, QImage::Format_ARGB32);
        red.fill(Qt::red);
        if (content.isEmpty())
            QVERIFY(red.save(path));
        else
            TestSupport::writeFile(path, content);
        AppSettings().setValue("WMarker/type", "1");
        AppSettings().setValue("WMarker/path", path);
        // A small blue picture in a large view: the corner where a watermark goes is black.
        plugCamera("color=c=blue:size=320x240:rate=30,realtime");
        auto* window = new FrmCamera(nullptr);
        window->findChild<CamViewer*>()->setReadBack(true);
        openCamera(window);
        const QImage screen = window->findChild<CamViewer*>()->readPixels();
        QCOMPARE(screen.pixelColor(screen.width() - 20, screen.height() - 20),
            QColor(content.isEmpty() ? Qt::red : Qt::black));
        QVERIFY(waitForPictures(3)); // still live
        AppSettings().remove("WMarker");
    }

    void captureFolderThatTakesFilesAgainIsUsedByTheSameWindow()
    {
        AppSettings().setValue("SavePath/path", QFileInfo("settings.ini").absoluteFilePath() + "/C/");
        MsgBoxRecorder boxes(QMessageBox::Ok);
        openExamination("testsrc2=size=320x240:rate=30,realtime");
        tryToCapture();
        AppSettings().remove("SavePath");
        child<QAction>(camera, "moSnap")->trigger();
        QTRY_COMPARE(recordsFiled(), 1);
    }

    void cameraVanishingWhileRecordingFinishesAndFilesTheRecording()
    {
        MsgBoxRecorder boxes(QMessageBox::Ok);
        // The stream ends after six seconds, as when the camera's cable is pulled.
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
        QVERIFY(QFileInfo::exists(video + QStringLiteral("-thumbnail.bmp")));
        const QString recording = probe(video);
        QVERIFY2(framesOf(recording) >= 30, qPrintable(recording));

        // Chosen again from the camera menu, the camera shows its picture; the loss was told once.
        for (QAction* device : child<QMenu>(camera, "mCams")->actions()) {
            if (device->data().toString() == QLatin1String(kCameraNode))
                device->trigger();
        }
        QVERIFY(waitForPictures(3));
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void killedWhileRecordingLeavesPlayableVideoAndIntactDatabase()
    {
        const QString folder = QDir::current().absoluteFilePath(QStringLiteral("killed"));
        QDir().mkpath(folder);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(KARVEX_EXAM_CHILD), { folder });
        QVERIFY(QTest::qWaitFor(
            [&] { return child.canReadLine() || child.state() == QProcess::NotRunning; }, 60000));
        QCOMPARE(child.readLine(), QByteArray("recording\n"));

        // Once two seconds of video are playable from the file, kill without warning.
        const QDir capture(folder + QStringLiteral("/Capture"));
        const auto video
            = [&] { return probe(capture.absoluteFilePath(capture.entryList({ "*.mp4" }).value(0))); };
        QVERIFY(QTest::qWaitFor([&] { return framesOf(video()) >= 60; }, 30000));
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY2(video().startsWith("h264,"), qPrintable(video()));
        QVERIFY2(framesOf(video()) >= 60, qPrintable(video()));

        // The database as sqlite3 finds it: intact, with the patient and the picture filed.
        const QString picture = capture.absoluteFilePath(capture.entryList({ "*[0-9].bmp" }).value(0));
        QCOMPARE(runTool(QStringLiteral("sqlite3"),
                     { folder + QStringLiteral("/system.db"),
                         "PRAGMA integrity_check; SELECT fnam, fil FROM user JOIN recd ON uid=user.rowid;" }),
            "ok\nKarl|" + picture + "\n");
    }

    void finderKeystrokeStormEndsWithTheRightList()
    {
        sql("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<299) "
            "INSERT INTO user (fnam,lnam,bday) SELECT printf('Name%03d',i),'Storm','1980/01/01' FROM n");
        FrmPatmgr manager(nullptr);
        manager.show();
        auto* list = child<QTableWidget>(&manager, "list");
        auto* finder = child<QLineEdit>(&manager, "leFN");
        QTRY_VERIFY(list->rowCount() >= 300);

        // 5,000 keystrokes as fast as they come, typing and rubbing out, ending on "Name12".
        for (int stroke = 0; stroke < 5000 - 6; ++stroke)
            QTest::keyClick(finder, stroke % 10 < 5 ? Qt::Key(Qt::Key_A + stroke % 26) : Qt::Key_Backspace);
        finder->clear();
        QTest::keyClicks(finder, QStringLiteral("Name12"));
        // Name120 ... Name129, and no Name12: exactly ten patients.
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 10, 120000);
        // Still answering: the next criterion narrows the list at once.
        QTest::keyClicks(child<QLineEdit>(&manager, "leLN"), QStringLiteral("Holm"));
        QTRY_COMPARE(list->rowCount(), 0);
    }
};

KARVEX_TEST_MAIN(TestFaults)
#include "TestFaults.moc"
