#include "datapipe/qtserialdriver.h"
#include "datapipe/serialresult.h"
#include "pseudoterminal.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace SerialResult;

namespace {

QByteArray AllByteValues(int size = 256)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i);
    return bytes;
}

// Opens COM1 on the pty the way the serial link does; answers the first failure.
int OpenOn(QtSerialDriver &driver, const QString &device, int port = 1)
{
    driver.SetPortDevice(port, device);
    int result = driver.InitializePort(port, port - 1, 0, 0, 9, 0, 8192, 8192, 0);
    if (result == Success)
        result = driver.SetPortCharacteristics(port, 8, 0, 3, 0, 0);
    return result;
}

int PutPacket(QtSerialDriver &driver, const QByteArray &bytes, int port = 1)
{
    for (char byte : bytes) {
        if (const int result = driver.PutByte(port, uchar(byte)))
            return result;
    }
    char text[] = "0";
    return driver.ser_rs232_putpacket(port, 0, text);
}

// Collects bytes through getpacket and GetByte, as the service tick does, until
// `size` bytes are in or the line stays quiet.
QByteArray Collect(QtSerialDriver &driver, int size, int port = 1)
{
    QByteArray received;
    char text[] = "0";
    QDeadlineTimer quiet(5000);
    while (received.size() < size && !quiet.hasExpired()) {
        if (driver.ser_rs232_getpacket(port, 0, text) != Success)
            break;
        const int byte = driver.GetByte(port);
        if (byte >= 0) {
            received.append(char(byte));
            quiet.setRemainingTime(5000);
        } else {
            QTest::qWait(1);
        }
    }
    return received;
}

} // namespace

class TestQtSerialDriver : public QObject {
    Q_OBJECT
private:
    PseudoTerminal Line;
    QtSerialDriver *Driver = nullptr;

private slots:
    void init()
    {
        QVERIFY(Line.Open());
        Driver = new QtSerialDriver;
        QCOMPARE(OpenOn(*Driver, Line.SlavePath()), Success);
    }
    void cleanup()
    {
        delete Driver;
        Line.CloseMaster();
    }

    void bytesPutReachTheOtherEndUnchanged()
    {
        const QByteArray bytes = AllByteValues();
        QCOMPARE(PutPacket(*Driver, bytes), Success);
        QCOMPARE(Line.Read(5000, bytes.size()), bytes);
    }

    void bytesReceivedComeBackInOrderNoneLost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("every byte value") << AllByteValues();
        QTest::newRow("64 KiB burst") << AllByteValues(65536);
    }
    void bytesReceivedComeBackInOrderNoneLost()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(Line.Write(bytes));
        QCOMPARE(Collect(*Driver, bytes.size()), bytes);
        QCOMPARE(Driver->GetByte(1), -1);
    }

    void getportReportsTheChosenSpeedAndLineFormat()
    {
        PortParams params;
        QCOMPARE(Driver->ser_rs232_getport(1, params), Success);
        QCOMPARE(params.SpeedCode, 8);
        QCOMPARE(params.Parity, qint16(0));
        QCOMPARE(params.DataBits, qint16(3));
        QCOMPARE(params.StopBits, qint16(0));
    }

    void lineSettings_data()
    {
        QTest::addColumn<int>("speedCode");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("result");
        QTest::newRow("9600") << 7 << 3 << int(Success);
        QTest::newRow("115200") << 11 << 3 << int(Success);
        QTest::newRow("speed code 6") << 6 << 3 << int(BadArgument);
        QTest::newRow("speed code 12") << 12 << 3 << int(BadArgument);
        QTest::newRow("7 data bits") << 7 << 2 << int(BadArgument);
    }
    void lineSettings()
    {
        QFETCH(int, speedCode);
        QFETCH(int, dataBits);
        QFETCH(int, result);
        QCOMPARE(Driver->SetPortCharacteristics(1, speedCode, 0, dataBits, 0, 0), result);
        PortParams params;
        QCOMPARE(Driver->ser_rs232_getport(1, params), Success);
        QCOMPARE(params.SpeedCode, result == Success ? speedCode : 8);
    }

    void settingsWithoutEffectAreAccepted()
    {
        QCOMPARE(Driver->CdrvSetTimerResolution(1, 1), Success);
        QCOMPARE(Driver->SetTimeout(1, 5), Success);
        QCOMPARE(Driver->SetPaceTime(1, 0), Success);
    }

    void byteOutOfRangeIsRefused()
    {
        QCOMPARE(Driver->PutByte(1, 256), BadArgument);
        QCOMPARE(Driver->PutByte(1, -1), BadArgument);
    }

    void flushReceiveDropsWhatCameBefore()
    {
        QVERIFY(Line.Write("old"));
        QTest::qWait(50);
        const int result = Driver->FlushReceiveBuffer(1);
        QVERIFY(result == Success || result == IoError);
        if (result == IoError)
            QSKIP("this system cannot flush a pseudo-terminal's input");
        QVERIFY(Line.Write("new"));
        QCOMPARE(Collect(*Driver, 3), QByteArray("new"));
    }

    void flushTransmitDropsBytesNotYetPushed()
    {
        QCOMPARE(Driver->PutByte(1, 'x'), Success);
        QCOMPARE(Driver->FlushTransmitBuffer(1), Success);
        QCOMPARE(PutPacket(*Driver, "ok"), Success);
        QCOMPARE(Line.Read(5000, 2), QByteArray("ok"));
        QCOMPARE(Line.Read(50), QByteArray());
    }

    void breakEndsOnItsOwnAndLeavesThePortWorking()
    {
        const int result = Driver->SendBreak(1, 5);
        QVERIFY2(result == Success || result == IoError, qPrintable(QString::number(result)));
        QTest::qWait(100);
        QCOMPARE(PutPacket(*Driver, "after"), Success);
        QCOMPARE(Line.Read(5000, 5), QByteArray("after"));
        QCOMPARE(Driver->SendBreak(1, 0), BadArgument);
    }

    void closingDuringABreakIsSafe()
    {
        Driver->SendBreak(1, 5);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QTest::qWait(100);
        QCOMPARE(OpenOn(*Driver, Line.SlavePath()), Success);
    }

    void openingAnOpenPortAgainIsRefused()
    {
        QCOMPARE(Driver->InitializePort(1, 0, 0, 0, 9, 0, 8192, 8192, 0), PortBusy);
        QCOMPARE(OpenOn(*Driver, Line.SlavePath(), 2), PortBusy);
        QCOMPARE(PutPacket(*Driver, "still"), Success);
        QCOMPARE(Line.Read(5000, 5), QByteArray("still"));
    }

    void closedPortAnswersNotOpen()
    {
        QCOMPARE(Driver->UnInitializePort(1), Success);
        char text[] = "0";
        PortParams params;
        QCOMPARE(Driver->UnInitializePort(1), PortNotOpen);
        QCOMPARE(Driver->GetByte(1), -1);
        QCOMPARE(Driver->PutByte(1, 0), PortNotOpen);
        QCOMPARE(Driver->ser_rs232_putpacket(1, 0, text), PortNotOpen);
        QCOMPARE(Driver->ser_rs232_getpacket(1, 0, text), PortNotOpen);
        QCOMPARE(Driver->ser_rs232_getport(1, params), PortNotOpen);
        QCOMPARE(Driver->FlushReceiveBuffer(1), PortNotOpen);
        QCOMPARE(Driver->SendBreak(1, 5), PortNotOpen);
        QCOMPARE(Driver->SetTimeout(1, 5), PortNotOpen);
    }

    void portNumberOutsideOneToEightIsRefused_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("0") << 0;
        QTest::newRow("9") << 9;
    }
    void portNumberOutsideOneToEightIsRefused()
    {
        QFETCH(int, port);
        QCOMPARE(Driver->InitializePort(port, 0, 0, 0, 9, 0, 8192, 8192, 0), BadArgument);
        QCOMPARE(Driver->PutByte(port, 0), BadArgument);
        QCOMPARE(Driver->GetByte(port), -1);
        QCOMPARE(Driver->UnInitializePort(port), BadArgument);
        QCOMPARE(Driver->PortDevice(port), QString());
    }

    void missingDeviceIsNoSuchPort()
    {
        QTemporaryDir dir;
        QCOMPARE(OpenOn(*Driver, dir.filePath("ttyGone"), 2), NoSuchPort);
        QCOMPARE(Driver->UnInitializePort(2), PortNotOpen);
    }

    void forbiddenDeviceIsPermissionDenied()
    {
        if (geteuid() == 0)
            QSKIP("running as root: every device is readable, so no open can be denied");
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyLocked"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.close();
        QVERIFY(device.setPermissions({}));
        QCOMPARE(OpenOn(*Driver, device.fileName(), 2), PermissionDenied);
    }

    void hangUpClosesThePortUntilUnInitialized()
    {
        auto *serial = Driver->findChild<QSerialPort *>();
        QVERIFY(serial);
        Line.CloseMaster();
        char text[] = "0";
        // The handle must be closed, or Qt spins on the dead line.
        QTRY_VERIFY(!serial->isOpen());
        QCOMPARE(Driver->ser_rs232_getpacket(1, 0, text), PortLost);
        QCOMPARE(Driver->GetByte(1), -1);
        QCOMPARE(Driver->PutByte(1, 1), PortLost);
        QCOMPARE(Driver->ser_rs232_putpacket(1, 0, text), PortLost);
        QCOMPARE(Driver->FlushReceiveBuffer(1), PortLost);
        QCOMPARE(Driver->InitializePort(1, 0, 0, 0, 9, 0, 8192, 8192, 0), PortLost);
        QCOMPARE(Driver->UnInitializePort(1), Success);

        QVERIFY(Line.Open());
        QCOMPARE(OpenOn(*Driver, Line.SlavePath()), Success);
        QCOMPARE(PutPacket(*Driver, "back"), Success);
        QCOMPARE(Line.Read(5000, 4), QByteArray("back"));
    }

    void portTableTakesADeviceAndRestoresTheDefault()
    {
        Driver->SetPortDevice(3, "/dev/rfcomm0");
        QCOMPARE(Driver->PortDevice(3), QString("/dev/rfcomm0"));
        Driver->SetPortDevice(3, QString());
        QCOMPARE(Driver->PortDevice(3), QtSerialDriver::PresentPorts().value(2));
    }

    void presentPortsListUsbAdaptersFirstInNaturalOrder()
    {
        const QStringList found = {"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyACM0",
                                   "/dev/ttyUSB2", "/dev/ttyS0"};
        const QStringList sorted = {"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0",
                                    "/dev/ttyS2", "/dev/ttyS10"};
        QCOMPARE(QtSerialDriver::SortedPorts(found), sorted);
    }
};

QTEST_GUILESS_MAIN(TestQtSerialDriver)
#include "test_qtserialdriver.moc"
