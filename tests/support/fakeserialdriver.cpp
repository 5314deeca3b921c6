#include "fakeserialdriver.h"

namespace {

QStringList Numbers(std::initializer_list<int> values)
{
    QStringList texts;
    for (int value : values)
        texts << QString::number(value);
    return texts;
}

} // namespace

int FakeSerialDriver::Answer(const QString &name, const QStringList &arguments)
{
    Calls << name + QLatin1Char('(') + arguments.join(QLatin1Char(',')) + QLatin1Char(')');
    QList<int> &script = Script[name];
    return script.isEmpty() ? Results.value(name) : script.takeFirst();
}

int FakeSerialDriver::InitializePort(int port, int index, int a, int b, int c, int d,
                                     int rxSize, int txSize, int e)
{
    return Answer(QStringLiteral("InitializePort"),
                  Numbers({port, index, a, b, c, d, rxSize, txSize, e}));
}

int FakeSerialDriver::ser_rs232_getport(int port, PortParams &)
{
    return Answer(QStringLiteral("ser_rs232_getport"), Numbers({port}));
}

int FakeSerialDriver::SetPortCharacteristics(int port, int speedCode, int parity, int dataBits,
                                             int stopBits, int last)
{
    return Answer(QStringLiteral("SetPortCharacteristics"),
                  Numbers({port, speedCode, parity, dataBits, stopBits, last}));
}

int FakeSerialDriver::CdrvSetTimerResolution(int port, int milliseconds)
{
    return Answer(QStringLiteral("CdrvSetTimerResolution"), Numbers({port, milliseconds}));
}

int FakeSerialDriver::SetTimeout(int port, int timeout)
{
    return Answer(QStringLiteral("SetTimeout"), Numbers({port, timeout}));
}

int FakeSerialDriver::SetPaceTime(int port, int pace)
{
    return Answer(QStringLiteral("SetPaceTime"), Numbers({port, pace}));
}

int FakeSerialDriver::FlushReceiveBuffer(int port)
{
    return Answer(QStringLiteral("FlushReceiveBuffer"), Numbers({port}));
}

int FakeSerialDriver::FlushTransmitBuffer(int port)
{
    return Answer(QStringLiteral("FlushTransmitBuffer"), Numbers({port}));
}

int FakeSerialDriver::ser_rs232_getpacket(int port, int count, char *text)
{
    return Answer(QStringLiteral("ser_rs232_getpacket"),
                  Numbers({port, count}) << QString::fromLatin1(text ? text : ""));
}

int FakeSerialDriver::GetByte(int port)
{
    Answer(QStringLiteral("GetByte"), Numbers({port}));
    if (Inbound.isEmpty())
        return -1;
    const int byte = uchar(Inbound.at(0));
    Inbound.remove(0, 1);
    return byte;
}

int FakeSerialDriver::PutByte(int port, int byte)
{
    const int result = Answer(QStringLiteral("PutByte"), Numbers({port, byte}));
    if (result == 0)
        Sent.append(char(byte));
    return result;
}

int FakeSerialDriver::ser_rs232_putpacket(int port, int count, char *text)
{
    return Answer(QStringLiteral("ser_rs232_putpacket"),
                  Numbers({port, count}) << QString::fromLatin1(text ? text : ""));
}

int FakeSerialDriver::SendBreak(int port, int length)
{
    return Answer(QStringLiteral("SendBreak"), Numbers({port, length}));
}

int FakeSerialDriver::UnInitializePort(int port)
{
    return Answer(QStringLiteral("UnInitializePort"), Numbers({port}));
}
