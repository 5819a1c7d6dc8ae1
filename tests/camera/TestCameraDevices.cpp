// Cameras that come and go: udev's events reach the window as one change per burst, and a
// lost camera is found again in the new device list.
#include "CameraReconnect.h"
#include "DeviceMonitor.h"
#include "FakeLibudev.h"
#include "TestSupport.h"

#include <QtTest>

using Devices = QList<CameraDevices::Device>;
Q_DECLARE_METATYPE(Devices)

class TestCameraDevices : public QObject
{
    Q_OBJECT

private slots:

    void aBurstOfEventsIsReportedOnce()
    {
        DeviceMonitor monitor;
        QSignalSpy changes(&monitor, &DeviceMonitor::devicesChanged);
        FakeUdev::sendEvent("add", "video4linux", "/dev/video2");
        FakeUdev::sendEvent("add", "video4linux", "/dev/video3");
        FakeUdev::sendEvent("add", "hidraw", "/dev/hidraw1");
        QVERIFY(changes.wait());
        QVERIFY(!changes.wait(DeviceMonitor::kSettleMs * 2));
        QCOMPARE(changes.size(), 1);
    }

    void removedVideoNodesAreNamed()
    {
        DeviceMonitor monitor;
        QSignalSpy changes(&monitor, &DeviceMonitor::devicesChanged);
        FakeUdev::sendEvent("remove", "video4linux", "/dev/video2");
        FakeUdev::sendEvent("remove", "hidraw", "/dev/hidraw1");
        FakeUdev::sendEvent("add", "video4linux", "/dev/video4");
        QVERIFY(changes.wait());
        QCOMPARE(changes.at(0).at(0).toStringList(), QStringList("/dev/video2"));
    }

    void withoutUdevNothingIsWatched()
    {
        FakeUdev::setAvailable(false);
        DeviceMonitor monitor;
        FakeUdev::setAvailable(true);
        QVERIFY(!monitor.isWatching());
    }

    void cameraToOpenAfterAChange_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::addColumn<bool>("byOperator");
        QTest::addColumn<Devices>("offered");
        QTest::addColumn<int>("chosen");
        // The camera in use is /dev/video2, "ZEN-LUX HD".
        const CameraDevices::Device same { "/dev/video2", "ZEN-LUX HD" };
        const CameraDevices::Device otherNode { "/dev/video4", "ZEN-LUX HD" };
        const CameraDevices::Device otherModel { "/dev/video2", "ORA-LUX" };
        const CameraDevices::Device other { "/dev/video6", "TUBO-LUX" };
        QTest::newRow("running camera stays") << false << false << Devices { other, same } << -1;
        QTest::newRow("lost camera back on another node")
            << true << false << Devices { other, otherNode } << 1;
        QTest::newRow("its node and description before its description")
            << true << false << Devices { otherNode, same } << 1;
        QTest::newRow("its description before its node")
            << true << false << Devices { otherModel, otherNode } << 1;
        QTest::newRow("another model on its node") << true << false << Devices { other, otherModel } << 1;
        QTest::newRow("lost camera not back on Refresh: the first takes over")
            << true << true << Devices { other } << 0;
    }

    void cameraToOpenAfterAChange()
    {
        QFETCH(bool, lost);
        QFETCH(bool, byOperator);
        QFETCH(Devices, offered);
        CameraReconnect reconnect;
        reconnect.setLost(lost);
        QTEST(reconnect.pick(offered, "/dev/video2", "ZEN-LUX HD", byOperator), "chosen");
    }

    void firstCameraPluggedInOpensWithoutNoneInUse()
    {
        CameraReconnect reconnect;
        reconnect.setLost(true); // nothing could be opened
        QCOMPARE(reconnect.pick({ { "/dev/video6", "TUBO-LUX" } }, QString(), QString(), false), 0);
    }

    void removingTheCamerasNodeLosesIt()
    {
        CameraReconnect reconnect;
        reconnect.noteRemoved("/dev/video2", { "/dev/video3", "/dev/video2" });
        QVERIFY(reconnect.isLost());
    }

    void removingAnotherNodeKeepsTheCamera()
    {
        CameraReconnect reconnect;
        reconnect.noteRemoved("/dev/video2", { "/dev/video3" });
        QVERIFY(!reconnect.isLost());
    }
};

KARVEX_TEST_MAIN(TestCameraDevices)
#include "TestCameraDevices.moc"
