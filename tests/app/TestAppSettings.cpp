#include "AppSettings.h"
#include "TestSupport.h"

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void absentKeysGiveDefaultsWrittenOnesReachLaterAccessorsNonNumbersReadAsZero()
    {
        QCOMPARE(AppSettings().value("BtnMgr/btn2", "1"), "1");
        QCOMPARE(AppSettings().intValue("BtnMgr/btn2", "1"), 1);
        QVERIFY(!QFile::exists("settings.ini")); // reading creates nothing
        TestSupport::writeFile("settings.ini", "[WMarker]\ntext=Dr. Lee, Clinic\n"); // edited by hand
        AppSettings().setValue("Hospital/name", "St. Mary's, Ward 3; Zürich");
        AppSettings().setValue("WMarker/type", "7");
        AppSettings().setValue("BtnMgr/btn1", "x");
        AppSettings().setValue("BtnMgr/btn2", "0x2");
        const AppSettings settings;
        QCOMPARE(settings.value("Hospital/name", QString()), "St. Mary's, Ward 3; Zürich");
        QCOMPARE(settings.intValue("WMarker/type", "0"), 7);
        QCOMPARE(settings.intValue("BtnMgr/btn1", "0"), 0);
        QCOMPARE(settings.intValue("BtnMgr/btn2", "1"), 0);
        QCOMPARE(settings.value("WMarker/text", QString()), "Dr. Lee,Clinic");
    }

    // /proc takes no new files, not even from root: a folder the settings cannot be written to.
    void unwritableSettingsAreReportedOnceNamingTheFile()
    {
        MsgBoxRecorder boxes;
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent("/proc"));
        AppSettings().setValue("Hospital/name", "St. Mary's");
        AppSettings().setValue("Hospital/name", "St. Anne's");
        QDir::setCurrent(home);
        QTRY_VERIFY(!boxes.boxes.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.boxes.at(0).text.contains("/proc/settings.ini"));
    }
};

KARVEX_TEST_MAIN(TestAppSettings)
#include "TestAppSettings.moc"
