#include "FakeHidapi.h"
#include "TestSupport.h"
#include "UsbCamHID.h"

#include <QSignalSpy>

namespace {
constexpr unsigned short Vendor = 0x3F1C;
constexpr unsigned short Product = 0x5501;

// One poll, as the 10 ms timer would run it, without waiting for the timer.
void tick(UsbCamHID& hid)
{
    QVERIFY(QMetaObject::invokeMethod(&hid, "onTimeRead", Qt::DirectConnection));
}

QList<int> ids(const QSignalSpy& spy)
{
    QList<int> result;
    for (const QList<QVariant>& args : spy)
        result << args.at(0).toInt();
    return result;
}
} // namespace

class TestUsbCamHID : public QObject
{
    Q_OBJECT
private slots:
    void init() { FakeHid::reset(); }

    void withoutCameraNothingIsOpenedOrEmitted()
    {
        FakeHid::addDevice("/dev/hidraw0", 0x046D, Product, 0x0200); // other vendor
        FakeHid::addDevice("/dev/hidraw1", Vendor, 0x5502, 0x0300); // other product
        UsbCamHID hid;
        QVERIFY(FakeHid::isInitialised());
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        QCOMPARE(hid.openDevices(), 0);
        QCOMPARE(FakeHid::openHandleCount(), 0);
        FakeHid::pushReport("/dev/hidraw0", "S");
        FakeHid::pushReport("/dev/hidraw1", "S");
        tick(hid);
        tick(hid);
        QVERIFY(spy.isEmpty());
    }

    void everyCameraInterfaceIsPolledAndTheLastReleaseReturned()
    {
        FakeHid::addDevice("/dev/hidraw3", Vendor, Product, 0x0102);
        FakeHid::addDevice("/dev/hidraw1", Vendor, Product, 0x0105);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        QCOMPARE(hid.openDevices(), 0x0105);
        QCOMPARE(FakeHid::openHandleCount(), 2);

        FakeHid::pushReport("/dev/hidraw3", "S");
        FakeHid::pushReport("/dev/hidraw1", "W");
        tick(hid);
        // One report per interface in the same tick, interfaces in path order.
        QCOMPARE(ids(spy), (QList<int> { 3, 1 }));
    }

    void onlyTheThreeKeyLettersAreEmittedButEveryByteIsLogged()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        for (const char* report : { "s", "x", "V", "W", "S" })
            FakeHid::pushReport("/dev/hidraw0", report);
        QTest::ignoreMessage(QtDebugMsg, "Got camera key: s");
        QTest::ignoreMessage(QtDebugMsg, "Got camera key: x");
        QTest::ignoreMessage(QtDebugMsg, "Got camera key: V");
        QTest::ignoreMessage(QtDebugMsg, "Got camera key: W");
        QTest::ignoreMessage(QtDebugMsg, "Got camera key: S");
        for (int i = 0; i < 6; ++i)
            tick(hid);
        QCOMPARE(ids(spy), (QList<int> { 2, 3, 1 }));
    }

    void onlyTheFirstByteOfAReportCounts()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        FakeHid::pushReport("/dev/hidraw0", QByteArray("SVW"));
        tick(hid);
        tick(hid);
        QCOMPARE(ids(spy), (QList<int> { 1 }));
    }

    void queuedReportsArriveOnePerTick()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        FakeHid::pushReport("/dev/hidraw0", "S");
        FakeHid::pushReport("/dev/hidraw0", "S");
        tick(hid);
        QCOMPARE(spy.count(), 1);
        tick(hid);
        QCOMPARE(spy.count(), 2);
        tick(hid);
        QCOMPARE(spy.count(), 2);
    }

    void thePollTimerDeliversKeysByItself()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        FakeHid::pushReport("/dev/hidraw0", "V");
        QTRY_COMPARE(ids(spy), (QList<int> { 2 }));
    }

    void rescanAndDestructionCloseEveryHandle()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0102);
        FakeHid::addDevice("/dev/hidraw1", Vendor, Product, 0x0105);
        {
            UsbCamHID hid;
            hid.openDevices();
            QCOMPARE(hid.openDevices(), 0x0105);
            QCOMPARE(FakeHid::openHandleCount(), 2);
        }
        QCOMPARE(FakeHid::openHandleCount(), 0);
        QVERIFY(!FakeHid::isInitialised());
    }

    void aPathListedTwiceIsOpenedOnceAndReportsOnce()
    {
        // hidraw lists an interface once per usage in its report descriptor.
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        QCOMPARE(hid.openDevices(), 0x0100);
        QCOMPARE(FakeHid::openHandleCount(), 1);
        FakeHid::pushReport("/dev/hidraw0", "S");
        tick(hid);
        tick(hid);
        QCOMPARE(spy.count(), 1);
    }

    void anUnpluggedCameraIsIgnoredUntilTheNextRescan()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        FakeHid::removeDevice("/dev/hidraw0");
        tick(hid);
        QVERIFY(spy.isEmpty());
        QCOMPARE(FakeHid::openHandleCount(), 1);
        QCOMPARE(hid.openDevices(), 0);
        QCOMPARE(FakeHid::openHandleCount(), 0);
    }
};

KARVEX_TEST_MAIN(TestUsbCamHID)
#include "TestUsbCamHID.moc"
