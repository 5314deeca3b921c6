#pragma once
#include <QString>
#include <functional>

// The serial port's line settings as the driver keeps them. The program writes only
// the speed code and the four line-format values and never reads the record back.
struct PortParams {
    qint32 SpeedCode = 0;
    qint16 Parity = 0;
    qint16 DataBits = 0;
    qint16 StopBits = 0;
    qint16 Reserved = 0;
};

// The serial driver layer: fourteen calls that open, configure, read, write, flush,
// break and close COM1..COM8. Every call takes the port number first and answers
// 0 for success or an error code (see SerialResult), except GetByte, which answers
// the next received byte 0..255 or -1 when none is waiting.
class SerialDriver {
public:
    virtual ~SerialDriver() = default;

    // Called when received bytes are waiting, as they arrive, as the socket control's
    // DataArrival is raised. A driver may never call it: its bytes are then read on
    // the service tick alone.
    std::function<void()> BytesArrived;

    virtual int InitializePort(int port, int index, int a, int b, int c, int d,
                               int rxSize, int txSize, int e) = 0;
    virtual int ser_rs232_getport(int port, PortParams &params) = 0;
    virtual int SetPortCharacteristics(int port, int speedCode, int parity, int dataBits,
                                       int stopBits, int last) = 0;
    virtual int CdrvSetTimerResolution(int port, int milliseconds) = 0;
    virtual int SetTimeout(int port, int timeout) = 0;
    virtual int SetPaceTime(int port, int pace) = 0;
    virtual int FlushReceiveBuffer(int port) = 0;
    virtual int FlushTransmitBuffer(int port) = 0;
    virtual int ser_rs232_getpacket(int port, int count, char *text) = 0;
    virtual int GetByte(int port) = 0;
    virtual int PutByte(int port, int byte) = 0;
    virtual int ser_rs232_putpacket(int port, int count, char *text) = 0;
    virtual int SendBreak(int port, int length) = 0;
    virtual int UnInitializePort(int port) = 0;
};

// Which device each COM number opens. A driver with such a table offers it, and
// the configuration dialog shows and edits it.
class PortTable {
public:
    virtual ~PortTable() = default;
    virtual QString PortDevice(int port) const = 0; // "" when none is present
    virtual void SetPortDevice(int port, const QString &device) = 0;
};
