#pragma once
#include "display/postmsg.h"
#include <QByteArray>
#include <QVector>

class SerialDriver;
class SocketControl;

// The data pipe's byte operations over the serial driver (DataPipe 1) or the socket
// control (DataPipe 2). The key byte is applied here and nowhere else, so everything
// above sees plain bytes.
class PipeIo {
public:
    PipeIo(SerialDriver &driver, SocketControl &socket, PostMsg post);

    qint16 DataPipe = 1;
    int ComPort = 1;
    int KeyByte = 0;
    int PipeResult = 0;
    int InByte = -1;

    // Ethernet receive buffer: unread bytes are RxBuffer[RxIndex..RxLast].
    QByteArray RxBuffer;
    qint64 RxIndex = 1;
    qint64 RxLast = 0;

    QVector<qint32> OutPacket{0};
    int OutCount = 0;

    void ReadPipeByte();
    void FlushPipe();
    void SendBreak();
    void SendPipePacket();
    void SetOutPacket(const QByteArray &bytes);
    void ResetOutPacket();
    // Loads one socket delivery into the receive buffer.
    void TakeArrival(qint64 bytesTotal);

private:
    int WireByte(qint32 element) const;

    SerialDriver &Driver;
    SocketControl &Socket;
    PostMsg Post;
};
