#include "datapipe/tcpsocketcontrol.h"
#include <QTcpSocket>

TcpSocketControl::TcpSocketControl(QObject *parent)
    : SocketControl(parent), Socket(new QTcpSocket(this))
{
    Socket->setReadBufferSize(ReadBufferSize);
    connect(Socket, &QTcpSocket::connected, this, &TcpSocketControl::SocketConnected);
    connect(Socket, &QTcpSocket::readyRead, this, &TcpSocketControl::RaiseArrival);
    connect(Socket, &QTcpSocket::errorOccurred, this, &TcpSocketControl::SocketError);
    connect(Socket, &QTcpSocket::disconnected, this, &TcpSocketControl::SocketDisconnected);
}

void TcpSocketControl::Connect()
{
    Close(); // a new attempt replaces any connection or attempt still in progress
    Pending = true;
    if (RemotePort < 1 || RemotePort > 65535) {
        // QTcpSocket would silently truncate the port; report it the way a refusal comes.
        QMetaObject::invokeMethod(this, [this] {
            if (!Pending)
                return;
            Pending = false;
            emit ConnectFailed(tr("Port number %1 out of range.").arg(RemotePort));
        }, Qt::QueuedConnection);
        return;
    }
    Socket->connectToHost(RemoteHost, quint16(RemotePort));
}

void TcpSocketControl::GetData(QByteArray &data)
{
    data = Socket->readAll();
    ++Takes;
}

void TcpSocketControl::SendData(const QByteArray &data)
{
    Socket->write(data);
    // Hand the bytes to the system now, not when the event loop next turns: an
    // auto-reply must not wait for the rest of the arrival's handler.
    Socket->flush();
}

void TcpSocketControl::Close()
{
    Pending = false;
    Established = false;
    Socket->flush(); // hand queued bytes to the system before the socket goes
    Socket->abort();
}

bool TcpSocketControl::IsOpen() const
{
    return Established;
}

void TcpSocketControl::SocketConnected()
{
    Pending = false;
    Established = true;
    // Auto-replies are single small packets: they must not wait for Nagle.
    Socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit Connected();
}

void TcpSocketControl::SocketError()
{
    const QString reason = Socket->errorString();
    if (Established) {
        Established = false;
        emit PeerClosed(reason);
    } else if (Pending) {
        Pending = false;
        emit ConnectFailed(reason);
    }
}

void TcpSocketControl::SocketDisconnected()
{
    if (!Established)
        return;
    Established = false;
    emit PeerClosed(tr("Connection closed by the remote host."));
}

void TcpSocketControl::RaiseArrival()
{
    const qint64 waiting = Socket->bytesAvailable();
    if (waiting == 0)
        return;
    const quint64 takes = Takes;
    emit DataArrival(waiting);
    // readyRead comes only for new data, and none comes while the bounded buffer is
    // full: bytes left behind a nested, ignored arrival would stall the link.
    if (Takes != takes && Socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &TcpSocketControl::RaiseArrival, Qt::QueuedConnection);
}
