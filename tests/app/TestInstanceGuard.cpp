#include "InstanceGuard.h"
#include "KarvexVersion.h"
#include "TestSupport.h"

#include <QProcess>

class TestInstanceGuard : public QObject
{
    Q_OBJECT
    static bool portFree() { return InstanceGuard().claim(); } // released again at once
    static bool start(QProcess& copy)
    {
        copy.start(KARVEX_BINARY_DIR "/karvex", {});
        return copy.waitForStarted();
    }

private slots:
    void initTestCase() { qputenv("QT_QPA_PLATFORM", "offscreen"); } // inherited by the copies started
    void init() { QVERIFY2(portFree(), "port 10382 is held by another program"); }

    void secondCopyExitsAtOnceWhileTheFirstKeepsRunning()
    {
        TestSupport::copyShippedLanguages();
        QProcess first;
        QVERIFY(start(first));
        // The first start stores its language choice after it holds the guard.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("settings.ini")), 20000);
        QVERIFY(!portFree());

        QProcess second;
        QVERIFY(start(second));
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.close(); // kills it and waits
    }

    void versionIsPrintedEvenWhileAnotherCopyRuns()
    {
        InstanceGuard held;
        QVERIFY(held.claim());
        QProcess version;
        version.start(KARVEX_BINARY_DIR "/karvex", { QStringLiteral("--version") });
        QVERIFY(version.waitForFinished(20000));
        QCOMPARE(version.readAllStandardOutput(), QByteArray("Karvex " KARVEX_VERSION "\n"));
        QCOMPARE(version.exitCode(), 0);
    }

    void programsStartedWhileHeldDoNotKeepThePort()
    {
        InstanceGuard held;
        QVERIFY(held.claim());
        QVERIFY(!portFree());
        // A viewer opened for a capture must not block the next start of Karvex.
        QProcess child;
        child.start(QStringLiteral("sleep"), { QStringLiteral("60") });
        QVERIFY(child.waitForStarted());
        held.release();
        const bool freed = portFree();
        child.close();
        QVERIFY(freed);
    }
};

KARVEX_TEST_MAIN(TestInstanceGuard)
#include "TestInstanceGuard.moc"
