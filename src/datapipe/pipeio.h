#pragma once
#include "display/postmsg.h"
#include <QByteArray>

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
    // The last serial driver call's answer, 0 for success.
    int PipeResult = 0;

    // The next inbound byte with the key removed, or -1 when none is waiting.
    int ReadPipeByte();
    void FlushPipe();
    void SendBreak();
    // True when every byte was handed to an open link; failures are posted.
    bool SendPipePacket(const QByteArray &bytes);
    // Loads one socket delivery into the receive buffer, the key already removed.
    void TakeArrival(qint64 bytesTotal);
    // The delivery's unread bytes, for taking many at once (nothing on the serial pipe);
    // SkipArrival(n) then counts the first n of them as read.
    QByteArrayView ArrivalLeft() const;
    void SkipArrival(qint64 n) { RxIndex += n; }
    // Forgets what is left of the last delivery.
    void ClearArrival();

private:
    SerialDriver &Driver;
    SocketControl &Socket;
    PostMsg Post;

    // Ethernet receive buffer: unread bytes are RxBuffer[RxIndex..RxLast].
    QByteArray RxBuffer;
    qint64 RxIndex = 1;
    qint64 RxLast = 0;
};
