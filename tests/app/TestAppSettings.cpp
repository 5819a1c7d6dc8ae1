#include "AppSettings.h"
#include "TestSupport.h"

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove("settings.ini"); }

    void readingCreatesNoFile()
    {
        AppSettings().value("BtnMgr/btn2", "1");
        QVERIFY(!QFile::exists("settings.ini"));
    }

    void writtenValueReachesALaterAccessor_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("written");
        QTest::newRow("punctuation and umlaut")
            << QStringLiteral("Hospital/name") << "St. Mary's, Ward 3; Zürich";
    }
    void writtenValueReachesALaterAccessor()
    {
        QFETCH(QString, key);
        QFETCH(QString, written);
        AppSettings().setValue(key, written);
        QCOMPARE(AppSettings().value(key, QString()), written);
    }

    void valueReadsAsANumber_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("expected");
        QTest::newRow("letters") << "x" << 0;
        QTest::newRow("hexadecimal") << "0x2" << 0;
    }
    void valueReadsAsANumber()
    {
        QFETCH(QString, written);
        QFETCH(int, expected);
        AppSettings().setValue("BtnMgr/btn1", written);
        QCOMPARE(AppSettings().intValue("BtnMgr/btn1", "5"), expected);
    }

    void fileEditedByHandKeepsItsValuesAfterAWrite()
    {
        TestSupport::writeFile("settings.ini", "[WMarker]\ntext=Dr. Lee, Clinic\n");
        AppSettings().setValue("Hospital/name", "St. Mary's");
        QCOMPARE(AppSettings().value("WMarker/text", QString()), "Dr. Lee,Clinic");
    }

    // /proc takes no new files, not even from root: a folder the settings cannot be written to.
    // The report comes once per program run, so both facts are checked on the one report.
    void unwritableSettingsAreReportedOnceNamingTheFile()
    {
        MsgBoxRecorder boxes;
        writeTwiceInProc();
        QTRY_VERIFY(!boxes.boxes.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.boxes.at(0).text.contains("/proc/settings.ini"));
    }

private:
    static void writeTwiceInProc()
    {
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent("/proc"));
        AppSettings().setValue("Hospital/name", "St. Mary's");
        AppSettings().setValue("Hospital/name", "St. Anne's");
        QDir::setCurrent(home);
    }
};

KARVEX_TEST_MAIN(TestAppSettings)
#include "TestAppSettings.moc"
