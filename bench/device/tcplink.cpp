#include "tcplink.h"

bool TcpLink::Listen(quint16 port)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpLink::OnNewConnection);
    return m_server.listen(QHostAddress::LocalHost, port);
}

void TcpLink::Write(const QByteArray &bytes)
{
    if (m_socket)
        m_socket->write(bytes);
}

qint64 TcpLink::Pending() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
}

void TcpLink::Drop()
{
    if (m_socket)
        m_socket->disconnectFromHost();
}

void TcpLink::OnNewConnection()
{
    QTcpSocket *socket = m_server.nextPendingConnection();
    m_socket = socket;
    m_server.pauseAccepting();
    // Replies must not wait for Nagle.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { emit Received(socket->readAll()); });
    connect(socket, &QTcpSocket::bytesWritten, this, &Link::Drained);
    connect(socket, &QTcpSocket::disconnected, this, &TcpLink::OnDisconnected);
    emit Connected();
}

void TcpLink::OnDisconnected()
{
    m_socket->deleteLater();
    m_socket = nullptr;
    m_server.resumeAccepting();
    emit Disconnected();
}
