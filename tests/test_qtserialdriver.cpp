// The serial driver over QSerialPort. COM1 runs on a fresh pseudo-terminal in every
// case; the test talks at its master.
#include "datapipe/qtserialdriver.h"
#include "datapipe/serialresult.h"
#include "pseudoterminal.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace SerialResult;

class TestQtSerialDriver : public QObject {
    Q_OBJECT
    PseudoTerminal Line;
    std::unique_ptr<QtSerialDriver> Driver;
    char Text[2] = "0";

    // Opens the port the way the session does; answers the first failure.
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
    // Takes bytes as the service tick does, until `size` are in (or a guard against a hang
    // ends: the caller compares what came).
    QByteArray Collect(int size)
    {
        QByteArray got;
        static_cast<void>(QTest::qWaitFor([&] {
            for (int byte; Driver->ser_rs232_getpacket(1, 0, Text) == Success && (byte = Driver->GetByte(1)) >= 0;)
                got.append(char(byte));
            return got.size() >= size;
        }, 20000));
        return got;
    }
    // A port that is not open, lost or out of range answers every call with `result`.
    void EveryCallAnswers(int port, int result)
    {
        PortParams params;
        QCOMPARE(QList<int>({Driver->PutByte(port, 0), Driver->ser_rs232_putpacket(port, 0, Text),
                             Driver->ser_rs232_getpacket(port, 0, Text), Driver->ser_rs232_getport(port, params),
                             Driver->FlushReceiveBuffer(port), Driver->SendBreak(port, 5), Driver->SetTimeout(port, 5),
                             Driver->InitializePort(port, 0, 0, 0, 9, 0, 8192, 8192, 0)}),
                 QList<int>(7, result) << (result == PortNotOpen ? Success : result));
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

    void aBurstOfEveryByteValueCrossesBothWaysUnchanged()
    {
        QByteArray burst(65536, '\0');
        for (int i = 0; i < burst.size(); ++i)
            burst[i] = char(i);
        QVERIFY(Sends(burst));
        QVERIFY(Line.Write(burst));
        QCOMPARE(Collect(burst.size()), burst);
        QCOMPARE(Driver->GetByte(1), -1);
    }

    void speedCodesSetTheLineAndOthersAreRefused()
    {
        auto *serial = Driver->findChild<QSerialPort *>();
        for (const auto &[code, baud] : {std::pair{7, 9600}, {11, 115200}, {12, 115200}, {6, 115200}}) {
            Driver->SetPortCharacteristics(1, code, 0, 3, 0, 0);
            QCOMPARE(serial->baudRate(), baud); // an unknown code is refused and changes nothing
        }
        QCOMPARE(QList<int>({Driver->SetPortCharacteristics(1, 6, 0, 3, 0, 0), Driver->SetPortCharacteristics(1, 7, 1, 3, 0, 0),
                             Driver->SetPortCharacteristics(1, 7, 0, 2, 0, 0)}), QList<int>(3, BadArgument));
        QVERIFY(serial->parity() == QSerialPort::NoParity && serial->dataBits() == QSerialPort::Data8);
    }

    void flushAndBreakLeaveTheLineWorking()
    {
        QCOMPARE(Driver->PutByte(1, 'x'), Success);
        QCOMPARE(Driver->FlushTransmitBuffer(1), Success);
        QVERIFY(Sends("ok"));
        QVERIFY(Line.Write("old"));
        QTest::qWait(50);
        QCOMPARE(Driver->FlushReceiveBuffer(1), Success);
        QVERIFY(Line.Write("new"));
        QCOMPARE(Collect(3), QByteArray("new"));
        const int result = Driver->SendBreak(1, 5);
        QVERIFY2(result == Success || result == IoError, qPrintable(QString::number(result)));
        QTest::qWait(100); // the break ends on its own
        QVERIFY(Sends("after"));
        Driver->SendBreak(1, 5);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QTest::qWait(100); // the break's end must not touch the closed port
        QCOMPARE(OpenOn(Line.SlavePath()), Success);
    }

    void portsThatCannotServeSaySo()
    {
        QCOMPARE(OpenOn(Line.SlavePath(), 2), PortBusy); // open already, here or elsewhere
        QCOMPARE(Driver->InitializePort(1, 0, 0, 0, 9, 0, 8192, 8192, 0), PortBusy);
        QCOMPARE(QList<int>({Driver->PutByte(1, 256), Driver->PutByte(1, -1), Driver->SendBreak(1, 0)}),
                 QList<int>(3, BadArgument));
        QVERIFY(Sends("still"));
        for (int port : {0, 9})
            EveryCallAnswers(port, BadArgument);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QCOMPARE(Driver->UnInitializePort(1), PortNotOpen);
        EveryCallAnswers(1, PortNotOpen);
        QTemporaryDir dir;
        QCOMPARE(OpenOn(dir.filePath("ttyGone"), 2), NoSuchPort);
        QFile locked(dir.filePath("ttyLocked"));
        QVERIFY(locked.open(QIODevice::WriteOnly) && locked.setPermissions({}));
        if (geteuid() != 0) // root may open any device
            QCOMPARE(OpenOn(locked.fileName(), 3), PermissionDenied);
    }

    void hangUpLosesThePortOnceReceivedBytesAreTakenUntilUnInitialized()
    {
        auto *serial = Driver->findChild<QSerialPort *>();
        QVERIFY(serial);
        const QByteArray bytes = "the last bytes before the plug came out";
        int notices = 0;
        Driver->BytesArrived = [&notices] { ++notices; };
        QVERIFY(Line.Write(bytes));
        QTRY_COMPARE(serial->bytesAvailable(), bytes.size()); // received, none taken yet
        QTRY_VERIFY(notices > 0);
        Line.CloseMaster();
        QTRY_VERIFY(!serial->isOpen()); // else Qt spins on the dead line
        QCOMPARE(Driver->PutByte(1, 0), PortLost);
        QCOMPARE(Collect(bytes.size()), bytes); // one pass takes all there is, nothing more
        EveryCallAnswers(1, PortLost);
        QCOMPARE(Driver->UnInitializePort(1), Success);
        QVERIFY(Line.Open());
        QCOMPARE(OpenOn(Line.SlavePath()), Success);
        QVERIFY(Sends("back"));
    }

    void presentPortsListUsbAdaptersFirstInNaturalOrder()
    {
        QCOMPARE(QtSerialDriver::SortedPorts({"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyACM0",
                                              "/dev/ttyUSB2", "/dev/ttyS0"}),
                 QStringList({"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyS2",
                              "/dev/ttyS10"}));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialDriver)
#include "test_qtserialdriver.moc"
