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
};

KARVEX_TEST_MAIN(TestAppSettings)
#include "TestAppSettings.moc"
