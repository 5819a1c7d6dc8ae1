// Bad input from the files around the program and from the operator: the program keeps
// running, falls back to what is defined, and loses nothing that was already saved.

#include "AppSettings.h"
#include "Database.h"
#include "DlgExport.h"
#include "DlgPatinfo.h"
#include "DlgType.h"
#include "E2eSupport.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

using namespace E2e;

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The row of the manager's list whose first cell shows this text, or -1.
int rowShowing(QTableWidget* table, const QString& firstName)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (cellText(table, row, 0) == firstName)
            return row;
    }
    return -1;
}

// True when the label draws its text exactly as it would as plain text: names are data,
// not markup.
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

class TestBadInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        plugCamera("testsrc2=size=320x240:rate=30,realtime");
        cameraKeysRead();
    }

    // Runs first: the stored language path is read when the wording is first needed.
    void garbageSettingsLeaveTheDefaultsInForce()
    {
        static const char junk[] = "\x00\x01\xff\xfe binary junk\n[[[\n=no key\nkey without value\n";
        QByteArray garbage(junk, sizeof junk - 1);
        garbage += "[BtnMgr]\nbtn1=99\nbtn2=-7\n"
                   "[WMarker]\ntype=banana\ntext=\"   \"\npath=/no/such/picture.png\n"
                   "[Language]\npath=/no/such/folder/lang_xx.ini\n"
                   "[SavePath]\npath="
            + QDir::current().absoluteFilePath("settings.ini").toUtf8()
            + "/Capture/\n"
              "[Hospital]\nname=St. Anna Hospital\n"
              "[Unknown section\n\xc3\x28=\xa0\xa1\n";
        TestSupport::writeFile(QStringLiteral("settings.ini"), garbage);
        MsgBoxRecorder boxes(QMessageBox::Ok);

        // The stored language file is gone: the English fallback speaks.
        DlgType start;
        start.show();
        QCOMPARE(child<QLabel>(&start, "lbCAM")->text(), QStringLiteral("Camera"));
        click(child<QPushButton>(&start, "bnCAM"));
        QPointer<FrmCamera> camera = visibleWindow<FrmCamera>();
        QVERIFY(camera);
        QVERIFY(!start.isVisible());

        // Keys assigned to commands that do not exist do nothing.
        const int keysBefore = cameraKeysRead();
        pressCameraKey(1);
        pressCameraKey(2);
        QTRY_COMPARE(cameraKeysRead(), keysBefore + 2);
        QVERIFY(!child<QAction>(camera, "moRecd")->isChecked());
        QVERIFY(boxes.boxes.isEmpty());

        // The key control dialog shows such keys as unassigned.
        bool keysShown = false;
        withModal<QDialog>([&] { child<QAction>(camera, "msButn")->trigger(); },
            [&](QDialog* dialog) {
                QCOMPARE(child<QComboBox>(dialog, "cbBtn1")->currentIndex(), -1);
                QCOMPARE(child<QComboBox>(dialog, "cbBtn2")->currentIndex(), -1);
                keysShown = true;
            });
        QVERIFY(keysShown);

        // A capture folder "inside" a regular file is reported, once per command, and
        // nothing is written anywhere.
        child<QAction>(camera, "moSnap")->trigger();
        child<QAction>(camera, "moRecd")->trigger();
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes.at(0).text, Language::instance()->text("System", "dir_err"));
        QVERIFY(!boxes.boxes.at(0).text.isEmpty());
        QVERIFY(!child<QAction>(camera, "moRecd")->isChecked());

        camera->close();
        QTRY_VERIFY(camera.isNull());
        QVERIFY(start.isVisible());

        // What the operator saved is still there for everyone who reads it.
        QCOMPARE(AppSettings().value("Hospital/name", QString()), QStringLiteral("St. Anna Hospital"));
        AppSettings().setValue("BtnMgr/btn1", "0");
        QCOMPARE(AppSettings().value("Hospital/name", QString()), QStringLiteral("St. Anna Hospital"));
        QFile::remove(QStringLiteral("settings.ini"));
    }

    void databaseFileThatIsNotADatabaseIsReportedAndLeftAlone()
    {
        QByteArray notADatabase("Ward 3 shopping list: gauze, gloves, coffee\n");
        for (int i = 0; i < 4096; ++i)
            notADatabase += char((i * 37) & 0xff);
        TestSupport::writeFile(QStringLiteral("system.db"), notADatabase);
        MsgBoxRecorder boxes(QMessageBox::Ok);

        DlgType start;
        start.show();
        click(child<QPushButton>(&start, "bnPAT"));
        QPointer<FrmPatmgr> manager = visibleWindow<FrmPatmgr>();
        QVERIFY(manager);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.at(0).text, Language::instance()->text("System", "db_eror"));
        QVERIFY(!boxes.boxes.at(0).text.isEmpty());
        QCOMPARE(child<QTableWidget>(manager, "list")->rowCount(), 0);

        // Nothing can be saved, and the window says so instead of offering an empty form.
        click(child<QPushButton>(manager, "bnNew"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(boxes.boxes.size(), 2);

        manager->close();
        QTRY_VERIFY(manager.isNull());
        QVERIFY(start.isVisible());
        QCOMPARE(readAll(QStringLiteral("system.db")), notADatabase);
        QFile::remove(QStringLiteral("system.db"));
    }

    void brokenLanguageFilesNeitherHangNorHideTheirGoodLines()
    {
        const QString broken = TestSupport::writeFile(QStringLiteral("language/broken.ini"),
            "[System]\nname=Broken\n"
            "this line has no equals sign\n"
            "=value without key\n"
            "[DlgType\n"
            "bad\xff\xfe=\xc3\x28 invalid UTF-8\n"
            "[System]\n"
            "hint=@System/hint\n" // refers to itself
            "ask=@System/msg_exit\n" // two entries that refer to each other
            "msg_exit=@System/ask\n"
            "not_found=@Nowhere/nothing\n" // refers to nothing
            "long="
                + QByteArray(100000, 'x')
                + "\n"
                  "[DlgType]\n"
                  "lbCAM=Kamera\n"
                  "lbPAT=@DlgType/lbPAT\n"
                  // The INI reader lets a quote run on to the end of the file: only what stands
                  // after an unterminated quote is lost.
                  "mistyped=\"quote that never ends\n"
                  "lost=after the quote\n");
        const QString noSystem = TestSupport::writeFile(
            QStringLiteral("language/nosystem.ini"), "[DlgType]\nlbCAM=Cam\nDlgType=No System\n");

        // A file without a name is not offered; the broken one still is.
        const QStringList offered = Language::languages();
        QVERIFY(offered.filter(QStringLiteral("Broken/")).size() == 1);
        QVERIFY(offered.filter(QStringLiteral("nosystem.ini")).isEmpty());

        Language::instance()->load(broken);
        {
            DlgType start;
            // Good lines after broken ones still count.
            QCOMPARE(child<QLabel>(&start, "lbCAM")->text(), QStringLiteral("Kamera"));
            QVERIFY(!child<QLabel>(&start, "lbPAT")->text().isEmpty());
            QCOMPARE(Language::instance()->text("System", "not_found"), QString());
            QCOMPARE(Language::instance()->text("System", "long").size(), 100000);

            // Circular references end; the exit question is asked and answered.
            MsgBoxRecorder boxes(QMessageBox::No);
            start.show();
            start.close();
            QCOMPARE(boxes.boxes.size(), 1);
            QVERIFY(start.isVisible());
        }

        Language::instance()->load(noSystem);
        {
            DlgType start;
            QCOMPARE(start.windowTitle(), QStringLiteral("No System"));
            QCOMPARE(child<QLabel>(&start, "lbPAT")->text(), QStringLiteral("Manager"));
            MsgBoxRecorder boxes(QMessageBox::No);
            start.show();
            start.close();
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes.at(0).title, QString());
            QVERIFY(start.isVisible());
        }

        Language::instance()->load(
            QDir::current().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
    }

    void patientTextsAreStoredAndShownExactlyAsTyped()
    {
        const QString first = QStringLiteral("<b>Zoë</b> O'Brien \"Ted\" 100% 😀");
        QString last = QStringLiteral("Smith'); DROP TABLE user;-- _%");
        while (last.size() < 10000)
            last += QStringLiteral("-Lange");
        last.truncate(10000);
        QString remark = QStringLiteral("Allergic: 'latex' & \"iodine\" 50%\n");
        while (remark.size() < 10000)
            remark += QStringLiteral("Ä😀ß%_'\" ");
        remark.truncate(10000);
        MsgBoxRecorder boxes(QMessageBox::Ok);

        DlgType start;
        start.show();
        click(child<QPushButton>(&start, "bnPAT"));
        QPointer<FrmPatmgr> manager = visibleWindow<FrmPatmgr>();
        QVERIFY(manager);
        QVERIFY(checkDb().isOpen());
        QTRY_VERIFY(checkDb().tables().contains(QStringLiteral("recd")));
        sql("INSERT INTO user (fnam,lnam,sex,bday) VALUES ('Eva','Plain',1,'1990/01/01')");

        // New patient, typed (pasted) into the form.
        withModal<DlgPatinfo>([&] { click(child<QPushButton>(manager, "bnNew")); },
            [&](DlgPatinfo* dialog) {
                child<QLineEdit>(dialog, "leFName")->setText(first);
                child<QLineEdit>(dialog, "leLName")->setText(last);
                child<QTextEdit>(dialog, "teRmrk")->setPlainText(remark);
                click(child<QPushButton>(dialog, "bnOK"));
                QTRY_VERIFY(dialog->patientRowID() != 0);
            });
        QVERIFY(boxes.boxes.isEmpty());

        // Stored exactly, read back with plain SQL; nothing was executed from the text.
        QSqlQuery stored = sql("SELECT rowid,fnam,lnam,rmrk FROM user WHERE fnam=?", { first });
        QVERIFY(stored.next());
        const qlonglong patient = stored.value(0).toLongLong();
        QCOMPARE(stored.value(1).toString(), first);
        QCOMPARE(stored.value(2).toString(), last);
        QCOMPARE(stored.value(3).toString(), remark);
        stored.finish(); // an open read would keep the program from writing
        QCOMPARE(sqlValue("SELECT COUNT(*) FROM user").toInt(), 2);

        // Listed as typed; the finder takes quotes and percent signs (a percent sign is a
        // wildcard there, so the plain patient matches it as well).
        auto* list = child<QTableWidget>(manager, "list");
        QTRY_COMPARE(list->rowCount(), 2);
        const int row = rowShowing(list, first);
        QVERIFY(row >= 0);
        QCOMPARE(cellText(list, row, 1), last);
        QCOMPARE(cellText(list, row, 3), remark);
        QTest::keyClicks(child<QLineEdit>(manager, "leLN"), QStringLiteral("h'); DROP"));
        QTRY_COMPARE(list->rowCount(), 1);
        QCOMPARE(cellText(list, 0, 0), first);
        child<QLineEdit>(manager, "leLN")->clear();
        QTest::keyClicks(child<QLineEdit>(manager, "leLN"), QStringLiteral("%"));
        QTRY_COMPARE(list->rowCount(), 2);
        child<QLineEdit>(manager, "leLN")->clear();

        // Opened again, the form shows the same texts; a record's remark of 10,000
        // characters goes through the remark editor and back.
        const QString picture = TestSupport::writeFile(QStringLiteral("Capture/a.bmp"), "not needed");
        sql("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,'2024/05/06 07:08:09')", { patient, picture });
        {
            DlgPatinfo dialog(manager);
            dialog.show();
            QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
            dialog.setRowID(quint64(patient));
            QVERIFY(loaded.wait());
            QCOMPARE(child<QLineEdit>(&dialog, "leFName")->text(), first);
            QCOMPARE(child<QLineEdit>(&dialog, "leLName")->text(), last);
            QCOMPARE(child<QTextEdit>(&dialog, "teRmrk")->toPlainText(), remark);
            auto* records = child<QTableWidget>(&dialog, "list");
            QCOMPARE(records->rowCount(), 1);
            withModal<QDialog>(
                [&] {
                    QMetaObject::invokeMethod(&dialog, "onListDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 3));
                },
                [&](QDialog* editor) {
                    auto* text = editor->findChild<QPlainTextEdit*>();
                    QVERIFY(text);
                    text->setPlainText(remark);
                    click(child<QPushButton>(editor, "bnOK"));
                });
            QTRY_COMPARE(sqlValue("SELECT rmk FROM recd WHERE uid=?", { patient }).toString(), remark);
            QTRY_COMPARE(cellText(records, 0, 3), remark);
        }

        // The camera heading and the report show the name as data, never as markup.
        FrmCamera camera(nullptr);
        camera.enterExamination(first + last, {});
        camera.show();
        QVERIFY(QTest::qWaitForWindowExposed(&camera));
        QLabel* heading = child<QLabel>(&camera, "lbName");
        QCOMPARE(heading->text(), first + last);
        // A long name stays inside the windows instead of stretching them off the screen.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(camera.minimumSizeHint().width() <= screen.width(),
            qPrintable(QString::number(camera.minimumSizeHint().width())));
        DlgExport report(nullptr);
        report.setInfo(quint64(patient), {});
        report.show();
        QVERIFY(QTest::qWaitForWindowExposed(&report));
        QLabel* name = child<QLabel>(&report, "lvName");
        QTRY_COMPARE(name->text(), first + QLatin1Char(' ') + last);
        QVERIFY2(report.width() <= screen.width(), qPrintable(QString::number(report.width())));
        QStringList markup;
        if (!drawsLiterally(heading))
            markup << QStringLiteral("the camera window's heading");
        if (!drawsLiterally(name))
            markup << QStringLiteral("the report form's name");
        QVERIFY2(markup.isEmpty(), qPrintable(markup.join(", ") + " show the patient's name as markup"));

        manager->close();
        QTRY_VERIFY(manager.isNull());
    }
};

KARVEX_TEST_MAIN(TestBadInput)
#include "TestBadInput.moc"
