#include "Database.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <unistd.h>

// The service is created once per process, so these cases run in the order written: each
// leaves system.db unusable in a new way until the last one repairs it.
class TestDbUnavailable : public QObject
{
    Q_OBJECT

    QByteArray garbage = QByteArray("These are the minutes of the last staff meeting.\n").repeated(200);

    // The manager on an unusable database: one clear message, an empty list, and buttons
    // that explain themselves instead of failing.
    void managerStaysUsable()
    {
        MsgBoxRecorder boxes;
        FrmPatmgr w(nullptr);
        w.show();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].kind, MsgBox::Kind::Warning);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("The patient database cannot be opened."));

        auto* list = w.findChild<QTableWidget*>("list");
        QTest::keyClicks(w.findChild<QLineEdit*>("leFN"), "an");
        w.findChild<QAction*>("mfRefr")->trigger();
        QTest::mouseClick(w.findChild<QPushButton*>("bnOpen"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton*>("bnDelete"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton*>("bnNew"), Qt::LeftButton);
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(boxes.boxes.size(), 4);
        QCOMPARE(boxes.boxes[1].text, QStringLiteral("Select a patient first."));
        QCOMPARE(boxes.boxes[2].text, QStringLiteral("Select a patient first."));
        QCOMPARE(boxes.boxes[3].text, boxes.boxes[0].text); // New: no form that could not be saved
    }

private slots:
    void initTestCase()
    {
        Language::instance()->load(TestSupport::writeFile("language/en-US.ini",
            "[System]\nhint=Hint\nsel_none=Select a patient first.\n"
            "db_eror=The patient database cannot be opened.\n"));
    }

    void fileThatIsNotADatabase()
    {
        TestSupport::writeFile("system.db", garbage);
        QVERIFY(!Database::instance());
        managerStaysUsable();
        QFile file("system.db");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage); // nobody wrote into it
    }

    void folderInPlaceOfTheFile()
    {
        QVERIFY(QFile::remove("system.db"));
        QVERIFY(QDir().mkdir("system.db"));
        QVERIFY(!Database::instance());
        managerStaysUsable();
        QVERIFY(QDir().rmdir("system.db"));
    }

    void unreadableFile()
    {
        if (geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        TestSupport::writeFile("system.db", QByteArray());
        QFile::setPermissions("system.db", QFileDevice::Permissions());
        QVERIFY(!Database::instance());
        managerStaysUsable();
        QVERIFY(QFile::remove("system.db"));
    }

    void readOnlyFolderWithoutDatabase()
    {
        if (geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        const QFileDevice::Permissions before = QFileInfo(".").permissions();
        QFile::setPermissions(".", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!Database::instance());
        managerStaysUsable();
        QFile::setPermissions(".", before);
    }

    void nextAttemptOpensARepairedDatabase()
    {
        QFile::remove("system.db");
        Database* db = Database::instance();
        QVERIFY(db);
        QCOMPARE(Database::instance(), db);
        MsgBoxRecorder boxes;
        FrmPatmgr w(nullptr);
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(QFile::exists("system.db"));
    }
};

KARVEX_TEST_MAIN(TestDbUnavailable)
#include "TestDbUnavailable.moc"
