#include "datapipe/qtserialdriver.h"
#include "datapipe/serialresult.h"
#include "pseudoterminal.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace SerialResult;

// COM1 runs on a fresh pseudo-terminal in every case; the test talks at its master.
class TestQtSerialDriver : public QObject {
    Q_OBJECT
    PseudoTerminal Line;
    std::unique_ptr<QtSerialDriver> Driver;
    char Text[2] = "0";

    // Opens the port the way the serial link does; answers the first failure.
    int OpenOn(const QString &device, int port = 1)
    {
        Driver->SetPortDevice(port, device);
        const int result = Driver->InitializePort(port, port - 1, 0, 0, 9, 0, 8192, 8192, 0);
        return result == Success ? Driver->SetPortCharacteristics(port, 8, 0, 3, 0, 0) : result;
    }
    // Puts a packet the way the data pipe does; true when exactly these bytes reach the master.
    bool Sends(const QByteArray &bytes)
    {
        for (char byte : bytes)
            if (Driver->PutByte(1, uchar(byte)) != Success)
                return false;
        return Driver->ser_rs232_putpacket(1, 0, Text) == Success && Line.Read(5000, bytes.size()) == bytes;
    }
    // Takes bytes as the service tick does, until `size` are in (or a guard against a hang ends).
    QByteArray Collect(int size)
    {
        QByteArray received;
        QDeadlineTimer guard(20000);
        while (received.size() < size && !guard.hasExpired() && Driver->ser_rs232_getpacket(1, 0, Text) == Success)
            if (const int byte = Driver->GetByte(1); byte >= 0)
                received.append(char(byte));
            else
                QTest::qWait(1);
        return received;
    }
    // A port that is not open, lost or out of range answers every call with `result`.
    void EveryCallAnswers(int port, int result)
    {
        PortParams params;
        QCOMPARE(QList<int>({Driver->PutByte(port, 0), Driver->ser_rs232_putpacket(port, 0, Text),
                             Driver->ser_rs232_getpacket(port, 0, Text), Driver->ser_rs232_getport(port, params),
                             Driver->FlushReceiveBuffer(port), Driver->SendBreak(port, 5),
                             Driver->SetTimeout(port, 5)}),
                 QList<int>(7, result));
        QCOMPARE(Driver->GetByte(port), -1);
    }

private slots:
    void init()
    {
        Driver.reset();
        Line.CloseMaster();
        QVERIFY(Line.Open());
        Driver = std::make_unique<QtSerialDriver>();
        QCOMPARE(OpenOn(Line.SlavePath()), Success);
    }

    void bytesCrossTheLineBothWaysUnchanged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray burst(65536, '\0');
        for (int i = 0; i < burst.size(); ++i)
            burst[i] = char(i);
        QTest::newRow("every byte value") << burst.left(256);
        QTest::newRow("64 KiB burst") << burst;
    }
    void bytesCrossTheLineBothWaysUnchanged()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(Sends(bytes));
        QVERIFY(Line.Write(bytes));
        QCOMPARE(Collect(bytes.size()), bytes);
        QCOMPARE(Driver->GetByte(1), -1);
    }

    void lineSettingsAreCheckedAndKept_data()
    {
        QTest::addColumn<QList<int>>("format"); // speed code, parity, data bits
        QTest::addColumn<int>("result");
        QTest::newRow("9600") << QList<int>{7, 0, 3} << int(Success);
        QTest::newRow("115200") << QList<int>{11, 0, 3} << int(Success);
        QTest::newRow("speed code 6") << QList<int>{6, 0, 3} << int(BadArgument);
        QTest::newRow("speed code 12") << QList<int>{12, 0, 3} << int(BadArgument);
        QTest::newRow("parity") << QList<int>{7, 1, 3} << int(BadArgument);
        QTest::newRow("7 data bits") << QList<int>{7, 0, 2} << int(BadArgument);
    }
    void lineSettingsAreCheckedAndKept()
    {
        QFETCH(QList<int>, format);
        QFETCH(int, result);
        QCOMPARE(Driver->SetPortCharacteristics(1, format[0], format[1], format[2], 0, 0), result);
        PortParams params;
        QCOMPARE(Driver->ser_rs232_getport(1, params), Success);
        QCOMPARE(params.SpeedCode, result == Success ? format[0] : 8); // a refusal keeps 19200 8N1
        QCOMPARE(QList<qint16>({params.Parity, params.DataBits, params.StopBits}), QList<qint16>({0, 3, 0}));
    }

    void flushDropsWhatIsWaiting()
    {
        QCOMPARE(Driver->PutByte(1, 'x'), Success);
        QCOMPARE(Driver->FlushTransmitBuffer(1), Success);
        QVERIFY(Sends("ok"));

        QVERIFY(Line.Write("old"));
        QTest::qWait(50);
        const int result = Driver->FlushReceiveBuffer(1);
        if (result == IoError)
            QSKIP("this system cannot flush a pseudo-terminal's input");
        QCOMPARE(result, Success);
        QVERIFY(Line.Write("new"));
        QCOMPARE(Collect(3), QByteArray("new"));
    }

    void breakEndsOnItsOwnAndClosingDuringItIsSafe()
    {
        const int result = Driver->SendBreak(1, 5);
        QVERIFY2(result == Success || result == IoError, qPrintable(QString::number(result)));
        QTest::qWait(100);
        QVERIFY(Sends("after"));
        Driver->SendBreak(1, 5);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QTest::qWait(100); // the break's end must not touch the closed port
        QCOMPARE(OpenOn(Line.SlavePath()), Success);
    }

    void openPortIsBusy()
    {
        QCOMPARE(Driver->InitializePort(1, 0, 0, 0, 9, 0, 8192, 8192, 0), PortBusy);
        QCOMPARE(OpenOn(Line.SlavePath(), 2), PortBusy);
        QVERIFY(Sends("still"));
    }

    void closedOrMissingPortIsNotOpen()
    {
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QCOMPARE(Driver->UnInitializePort(1), PortNotOpen);
        EveryCallAnswers(1, PortNotOpen);
        QTemporaryDir dir;
        QCOMPARE(OpenOn(dir.filePath("ttyGone"), 2), NoSuchPort);
        QCOMPARE(Driver->UnInitializePort(2), PortNotOpen);
    }

    void badArgumentsAreRefused()
    {
        QCOMPARE(Driver->PutByte(1, 256), BadArgument);
        QCOMPARE(Driver->PutByte(1, -1), BadArgument);
        QCOMPARE(Driver->SendBreak(1, 0), BadArgument);
        // Timer, timeout and pacing mean nothing here, so any value is accepted.
        QCOMPARE(QList<int>({Driver->CdrvSetTimerResolution(1, 1), Driver->SetTimeout(1, -5),
                             Driver->SetPaceTime(1, 999)}), QList<int>({0, 0, 0}));
        for (int port : {0, 9}) {
            EveryCallAnswers(port, BadArgument);
            QCOMPARE(Driver->InitializePort(port, 0, 0, 0, 9, 0, 8192, 8192, 0), BadArgument);
            QCOMPARE(Driver->UnInitializePort(port), BadArgument);
            QCOMPARE(Driver->PortDevice(port), QString());
        }
    }

    void forbiddenDeviceIsPermissionDenied()
    {
        if (geteuid() == 0)
            QSKIP("running as root: every device is readable, so no open can be denied");
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyLocked"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(device.setPermissions({}));
        QCOMPARE(OpenOn(device.fileName(), 2), PermissionDenied);
    }

    void hangUpLosesThePortOnceReceivedBytesAreTakenUntilUnInitialized()
    {
        auto *serial = Driver->findChild<QSerialPort *>();
        QVERIFY(serial);
        const QByteArray bytes = "the last bytes before the plug came out";
        QVERIFY(Line.Write(bytes));
        QTRY_COMPARE(serial->bytesAvailable(), bytes.size()); // received, none taken yet
        Line.CloseMaster();
        QTRY_VERIFY(!serial->isOpen()); // else Qt spins on the dead line
        QCOMPARE(Driver->PutByte(1, 0), PortLost);
        QCOMPARE(Collect(bytes.size() + 1), bytes);
        EveryCallAnswers(1, PortLost);
        QCOMPARE(Driver->InitializePort(1, 0, 0, 0, 9, 0, 8192, 8192, 0), PortLost);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QVERIFY(Line.Open());
        QCOMPARE(OpenOn(Line.SlavePath()), Success);
        QVERIFY(Sends("back"));
    }

    void portTableTakesADeviceAndRestoresTheDefault()
    {
        Driver->SetPortDevice(3, "/dev/rfcomm0");
        QCOMPARE(Driver->PortDevice(3), QString("/dev/rfcomm0"));
        Driver->SetPortDevice(3, QString());
        QCOMPARE(Driver->PortDevice(3), QtSerialDriver::PresentPorts().value(2));
        QCOMPARE(QtSerialDriver::SortedPorts({"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyACM0",
                                              "/dev/ttyUSB2", "/dev/ttyS0"}),
                 QStringList({"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyS2",
                              "/dev/ttyS10"}));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialDriver)
#include "test_qtserialdriver.moc"
