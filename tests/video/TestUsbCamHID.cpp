#include "FakeHidapi.h"
#include "TestSupport.h"
#include "UsbCamHID.h"

#include <QSignalSpy>

namespace {
constexpr unsigned short Vendor = 0x3F1C;
constexpr unsigned short Product = 0x5501;

// One poll as the 10 ms timer runs it, without waiting for the timer.
void tick(UsbCamHID& hid, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(&hid, "onTimeRead", Qt::DirectConnection);
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

    void otherDevicesAreNeitherOpenedNorHeard()
    {
        FakeHid::addDevice("/dev/hidraw0", 0x046D, Product, 0x0200);
        FakeHid::addDevice("/dev/hidraw1", Vendor, 0x5502, 0x0300);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        QCOMPARE(hid.openDevices(), 0);
        QCOMPARE(FakeHid::openHandleCount(), 0);
        FakeHid::pushReport("/dev/hidraw0", "S");
        FakeHid::pushReport("/dev/hidraw1", "S");
        tick(hid, 2);
        QVERIFY(spy.isEmpty());
    }

    void everyCameraInterfaceIsPolledAndTheLastReleaseReturned()
    {
        FakeHid::addDevice("/dev/hidraw3", Vendor, Product, 0x0102);
        FakeHid::addDevice("/dev/hidraw1", Vendor, Product, 0x0105);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        QCOMPARE(hid.openDevices(), 0x0105);
        FakeHid::pushReport("/dev/hidraw3", "S");
        FakeHid::pushReport("/dev/hidraw1", "W");
        tick(hid);
        QCOMPARE(ids(spy), (QList<int> { 3, 1 })); // one report per interface, in path order
    }

    void keyLettersBecomeIdsOnePerTickAndOtherBytesAreOnlyLogged()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0100);
        UsbCamHID hid;
        QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
        hid.openDevices();
        for (const char* report : { "s", "x", "V", "W", "SVW", "S" })
            FakeHid::pushReport("/dev/hidraw0", report);
        for (const char* line : { "s", "x", "V", "W", "S", "S" })
            QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Got camera key: ") + line));
        tick(hid, 4);
        QCOMPARE(ids(spy), (QList<int> { 2, 3 }));
        tick(hid); // only the first byte of a report counts
        QCOMPARE(ids(spy), (QList<int> { 2, 3, 1 }));
        tick(hid, 2);
        QCOMPARE(ids(spy), (QList<int> { 2, 3, 1, 1 }));
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

    void noHandleOutlivesARescanOrTheObject()
    {
        FakeHid::addDevice("/dev/hidraw0", Vendor, Product, 0x0102);
        // hidraw lists an interface once per usage: the same path may come twice.
        FakeHid::addDevice("/dev/hidraw1", Vendor, Product, 0x0105);
        FakeHid::addDevice("/dev/hidraw1", Vendor, Product, 0x0105);
        {
            UsbCamHID hid;
            QSignalSpy spy(&hid, &UsbCamHID::btnClicked);
            hid.openDevices();
            QCOMPARE(hid.openDevices(), 0x0105);
            QCOMPARE(FakeHid::openHandleCount(), 2);
            FakeHid::pushReport("/dev/hidraw1", "S");
            tick(hid, 2);
            QCOMPARE(spy.count(), 1);
        }
        QCOMPARE(FakeHid::openHandleCount(), 0);
        QVERIFY(!FakeHid::isInitialised());
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
        QCOMPARE(hid.openDevices(), 0);
        QCOMPARE(FakeHid::openHandleCount(), 0);
    }
};

KARVEX_TEST_MAIN(TestUsbCamHID)
#include "TestUsbCamHID.moc"
