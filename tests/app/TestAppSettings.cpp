#include "AppSettings.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(QStringLiteral("settings.ini")); }

    void absentKeysGiveTheCallersDefaultAndCreateNoFile()
    {
        const AppSettings settings;
        QCOMPARE(settings.value(QStringLiteral("SavePath/path"), QString()), QString());
        QCOMPARE(settings.value(QStringLiteral("BtnMgr/btn2"), QStringLiteral("1")), QStringLiteral("1"));
        QCOMPARE(settings.intValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("1")), 1);
        QCOMPARE(settings.intValue(QStringLiteral("WMarker/type"), QStringLiteral("0")), 0);
        QVERIFY(!QFile::exists(QStringLiteral("settings.ini")));
    }

    void numericKeysReadNonNumbersAsZero()
    {
        AppSettings().setValue(QStringLiteral("WMarker/type"), QStringLiteral("7"));
        AppSettings().setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("x"));
        AppSettings().setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("0x2"));
        const AppSettings settings;
        QCOMPARE(settings.intValue(QStringLiteral("WMarker/type"), QStringLiteral("0")), 7);
        QCOMPARE(settings.intValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("0")), 0);
        QCOMPARE(settings.intValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("1")), 0);
    }

    void valuesWrittenAreSeenByLaterAccessorsAndReachTheFile()
    {
        AppSettings().setValue(QStringLiteral("Hospital/name"), QStringLiteral("St. Mary's, Ward 3; Zürich"));
        QCOMPARE(AppSettings().value(QStringLiteral("Hospital/name"), QString()),
            QStringLiteral("St. Mary's, Ward 3; Zürich"));
        QSettings file(QStringLiteral("settings.ini"), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("Hospital/name")).toString(),
            QStringLiteral("St. Mary's, Ward 3; Zürich"));
    }

    void handEditedCommaListReadsAsOneText()
    {
        TestSupport::writeFile(QStringLiteral("settings.ini"), "[WMarker]\ntext=Dr. Lee, Clinic\n");
        QCOMPARE(
            AppSettings().value(QStringLiteral("WMarker/text"), QString()), QStringLiteral("Dr. Lee,Clinic"));
    }

    void fileFollowsTheCurrentDirectory()
    {
        AppSettings().setValue(QStringLiteral("SavePath/path"), QStringLiteral("/here/"));
        const QString home = QDir::currentPath();
        QDir().mkpath(QStringLiteral("elsewhere"));
        QDir::setCurrent(QStringLiteral("elsewhere"));
        const QString elsewhere
            = AppSettings().value(QStringLiteral("SavePath/path"), QStringLiteral("none"));
        QDir::setCurrent(home);
        QCOMPARE(elsewhere, QStringLiteral("none"));
        QCOMPARE(AppSettings().value(QStringLiteral("SavePath/path"), QString()), QStringLiteral("/here/"));
    }
};

KARVEX_TEST_MAIN(TestAppSettings)
#include "TestAppSettings.moc"
