#include "datapipe/pipeio.h"
#include "datapipe/serialdriver.h"
#include "datapipe/socketcontrol.h"

PipeIo::PipeIo(SerialDriver &driver, SocketControl &socket, PostMsg post)
    : Driver(driver), Socket(socket), Post(std::move(post))
{
}

int PipeIo::WireByte(qint32 element) const
{
    return (element ^ KeyByte) & 0xFF;
}

void PipeIo::ReadPipeByte()
{
    InByte = -1;
    if (DataPipe == 1) {
        char text[] = "0";
        PipeResult = Driver.ser_rs232_getpacket(ComPort, 0, text);
        if (PipeResult != 0) {
            Post("Error getting a packet: " + QString::number(PipeResult));
            return;
        }
        InByte = Driver.GetByte(ComPort);
        if (InByte != -1)
            InByte ^= KeyByte;
    } else if (DataPipe == 2) {
        if (RxIndex > RxLast)
            return;
        InByte = quint8(RxBuffer.at(RxIndex)) ^ KeyByte;
        ++RxIndex;
    } else {
        Post("Error reading a byte.  DataPipe value wrong.");
    }
}

void PipeIo::FlushPipe()
{
    if (DataPipe == 1) {
        PipeResult = Driver.FlushReceiveBuffer(ComPort);
        if (PipeResult != 0)
            Post("Error flushing receive buffer: " + QString::number(PipeResult));
        PipeResult = Driver.FlushTransmitBuffer(ComPort);
        if (PipeResult != 0)
            Post("Error flushing transmit buffer: " + QString::number(PipeResult));
    } else if (DataPipe != 2) {
        Post("Error flushing inbound data pipe.  DataPipe value wrong.");
    }
}

void PipeIo::SendBreak()
{
    if (DataPipe != 1)
        return;
    PipeResult = Driver.SendBreak(ComPort, 5);
    if (PipeResult != 0)
        Post("Error sending break symbol: " + QString::number(PipeResult));
}

void PipeIo::SendPipePacket()
{
    // Never read past the packet, whatever a caller left in OutCount.
    const int count = qBound(0, OutCount, int(OutPacket.size()));
    if (count == 0)
        return;
    if (DataPipe == 1) {
        for (int j = 0; j < count; ++j) {
            PipeResult = Driver.PutByte(ComPort, WireByte(OutPacket.at(j)));
            if (PipeResult != 0)
                Post("Error in put byte: " + QString::number(PipeResult));
        }
        char text[] = "0";
        PipeResult = Driver.ser_rs232_putpacket(ComPort, 0, text);
        if (PipeResult != 0)
            Post("Error in put packet: " + QString::number(PipeResult));
    } else if (DataPipe == 2) {
        if (!Socket.IsOpen()) {
            Post("Error sending a packet.  Ethernet link not open.");
            return;
        }
        QByteArray wire(count, '\0');
        for (int j = 0; j < count; ++j)
            wire[j] = char(WireByte(OutPacket.at(j)));
        Socket.SendData(wire);
    } else {
        Post("Error sending a packet.  DataPipe value wrong.");
    }
}

void PipeIo::SetOutPacket(const QByteArray &bytes)
{
    OutPacket.fill(0, qMax<qsizetype>(1, bytes.size()));
    for (qsizetype j = 0; j < bytes.size(); ++j)
        OutPacket[j] = quint8(bytes.at(j));
    OutCount = int(bytes.size());
}

void PipeIo::ResetOutPacket()
{
    OutPacket = {0};
    OutCount = 0;
}

void PipeIo::TakeArrival(qint64 bytesTotal)
{
    Socket.GetData(RxBuffer);
    RxIndex = 0;
    RxLast = RxBuffer.size() - 1;
    if (bytesTotal != RxLast - RxIndex + 1) {
        Post("Byte counts are not equal.");
        Post("IncomingByteCount = " + QString::number(bytesTotal));
        Post("UBound = " + QString::number(RxLast) + "  LBound = " + QString::number(RxIndex));
    }
}
