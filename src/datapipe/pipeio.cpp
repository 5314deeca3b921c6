#include "datapipe/pipeio.h"
#include "datapipe/serialdriver.h"
#include "datapipe/socketcontrol.h"

PipeIo::PipeIo(SerialDriver &driver, SocketControl &socket, PostMsg post)
    : Driver(driver), Socket(socket), Post(std::move(post))
{
}

int PipeIo::ReadPipeByte()
{
    if (DataPipe == 1) {
        char text[] = "0";
        PipeResult = Driver.ser_rs232_getpacket(ComPort, 0, text);
        if (PipeResult != 0) {
            Post("Error getting a packet: " + QString::number(PipeResult));
            return -1;
        }
        const int byte = Driver.GetByte(ComPort);
        return byte == -1 ? -1 : byte ^ KeyByte;
    }
    if (DataPipe == 2) {
        if (RxIndex > RxLast)
            return -1;
        return quint8(RxBuffer.at(RxIndex++));
    }
    Post("Error reading a byte.  DataPipe value wrong.");
    return -1;
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

bool PipeIo::SendPipePacket(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    if (DataPipe == 1) {
        bool handed = true;
        for (const char byte : bytes) {
            PipeResult = Driver.PutByte(ComPort, (quint8(byte) ^ KeyByte) & 0xFF);
            if (PipeResult != 0) {
                Post("Error in put byte: " + QString::number(PipeResult));
                handed = false;
            }
        }
        char text[] = "0";
        PipeResult = Driver.ser_rs232_putpacket(ComPort, 0, text);
        if (PipeResult != 0)
            Post("Error in put packet: " + QString::number(PipeResult));
        return handed;
    }
    if (DataPipe == 2) {
        if (!Socket.IsOpen()) {
            Post("Error sending a packet.  Ethernet link not open.");
            return false;
        }
        QByteArray wire(bytes);
        for (char &byte : wire)
            byte = char(byte ^ KeyByte);
        Socket.SendData(wire);
        return true;
    }
    Post("Error sending a packet.  DataPipe value wrong.");
    return false;
}

void PipeIo::TakeArrival(qint64 bytesTotal)
{
    Socket.GetData(RxBuffer);
    RxIndex = 0;
    RxLast = RxBuffer.size() - 1;
    // Once for the whole delivery, not per byte: a flood brings hundreds of KB at a time.
    if (KeyByte != 0) {
        const char key = char(KeyByte);
        for (char &byte : RxBuffer)
            byte ^= key;
    }
    if (bytesTotal != RxLast - RxIndex + 1) {
        Post("Byte counts are not equal.");
        Post("IncomingByteCount = " + QString::number(bytesTotal));
        Post("UBound = " + QString::number(RxLast) + "  LBound = " + QString::number(RxIndex));
    }
}

QByteArrayView PipeIo::ArrivalLeft() const
{
    if (DataPipe != 2 || RxIndex > RxLast)
        return {};
    return QByteArrayView(RxBuffer.constData() + RxIndex, RxLast - RxIndex + 1);
}

void PipeIo::ClearArrival()
{
    RxIndex = 1;
    RxLast = 0;
}
