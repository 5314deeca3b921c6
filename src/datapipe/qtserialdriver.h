#pragma once
#include "datapipe/serialdriver.h"
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// The serial driver layer over QSerialPort, for COM1..COM8. Every port is opened
// 8N1 without flow control, and received bytes wait in QSerialPort's unbounded
// buffer, filled by the event loop, until GetByte takes them; BytesArrived is called
// as they come. When the device goes
// away, the bytes received before are still handed out; only then does the packet
// call answer PortLost.
class QtSerialDriver : public QObject, public SerialDriver, public PortTable {
    Q_OBJECT
public:
    static constexpr int PortCount = 8;
    // A break of SendBreak's length 1 lasts this long.
    static constexpr int BreakUnitMs = 10;

    explicit QtSerialDriver(QObject *parent = nullptr);

    // The device a COM number opens. An empty device restores the default: "COMn"
    // on Windows, elsewhere the n-th entry of PresentPorts(), or none.
    void SetPortDevice(int port, const QString &device) override;
    QString PortDevice(int port) const override;
    // The device a COM number opens while none is chosen.
    static QString DefaultDevice(int port);
    // The serial ports present, in the order of SortedPorts.
    static QStringList PresentPorts();
    // USB adapters (ttyUSB, ttyACM) first, then the others, each in natural name order.
    static QStringList SortedPorts(QStringList devices);

    int InitializePort(int port, int index, int a, int b, int c, int d,
                       int rxSize, int txSize, int e) override;
    int ser_rs232_getport(int port, PortParams &params) override;
    int SetPortCharacteristics(int port, int speedCode, int parity, int dataBits,
                               int stopBits, int last) override;
    int CdrvSetTimerResolution(int port, int milliseconds) override;
    int SetTimeout(int port, int timeout) override;
    int SetPaceTime(int port, int pace) override;
    int FlushReceiveBuffer(int port) override;
    int FlushTransmitBuffer(int port) override;
    int ser_rs232_getpacket(int port, int count, char *text) override;
    int GetByte(int port) override;
    int PutByte(int port, int byte) override;
    int ser_rs232_putpacket(int port, int count, char *text) override;
    int SendBreak(int port, int length) override;
    int UnInitializePort(int port) override;

private:
    struct Slot {
        QString Device;               // chosen device, empty for the default
        QSerialPort *Port = nullptr;  // set from InitializePort to UnInitializePort
        qint32 SpeedCode = 0;
        bool Lost = false;            // the device went away; the handle is closed
        QByteArray Left;              // received before the loss, taken from LeftAt on
        qsizetype LeftAt = 0;
    };

    // The slot of an open, working port, else nullptr; result gets the answer either way.
    Slot *Usable(int port, int &result);
    // The slot of a lost port, its received bytes moved to Left, else nullptr.
    Slot *LostSlot(int port);
    int Check(int port);
    void PortError(Slot *slot, QSerialPort::SerialPortError error);
    int Flush(int port, QSerialPort::Direction direction);

    Slot Slots[PortCount];
};
