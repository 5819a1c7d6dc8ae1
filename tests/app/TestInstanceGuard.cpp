#include "InstanceGuard.h"
#include "TestSupport.h"

#include <QProcess>

namespace {
bool portFree()
{
    InstanceGuard probe;
    return probe.claim(); // released again at once
}

void startKarvex(QProcess& process)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral(KARVEX_BINARY_DIR "/karvex"));
    process.start();
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}
} // namespace

class TestInstanceGuard : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY2(portFree(), "port 10382 is held by another program"); }

    void secondCopyExitsAtOnceWhileTheFirstKeepsRunning()
    {
        TestSupport::copyShippedLanguages();
        QFile::remove(QStringLiteral("settings.ini"));
        QProcess first;
        startKarvex(first);
        // The first start stores its language choice, which happens after the guard is held.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("settings.ini")), 20000);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(!portFree());

        QProcess second;
        startKarvex(second);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());

        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(!portFree());
        first.kill();
        QVERIFY(first.waitForFinished(20000));
        QTRY_VERIFY(portFree());
    }

    void heldPortRefusesASecondClaimAndIsNotInheritedByChildren()
    {
        InstanceGuard held;
        QVERIFY(held.claim());
        InstanceGuard other;
        QVERIFY(!other.claim());

        // A program started while the port is held (a viewer for a capture) must not keep it.
        QProcess child;
        child.start(QStringLiteral("sleep"), { QStringLiteral("60") });
        QVERIFY(child.waitForStarted());
        held.release();
        const bool freed = other.claim();
        child.kill();
        child.waitForFinished();
        QVERIFY(freed);
        QVERIFY(other.isClaimed());
    }
};

KARVEX_TEST_MAIN(TestInstanceGuard)
#include "TestInstanceGuard.moc"
