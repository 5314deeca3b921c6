#pragma once
#include "link.h"
#include <QTcpServer>
#include <QTcpSocket>

// Listens on loopback only and serves one client at a time; others wait in the
// listen queue until the current one leaves.
class TcpLink : public Link {
    Q_OBJECT
public:
    bool Listen(quint16 port);
    quint16 Port() const { return m_server.serverPort(); }
    QString Error() const { return m_server.errorString(); }
    void Write(const QByteArray &bytes) override;
    qint64 Pending() const override;
    void Drop() override;

private:
    void OnNewConnection();
    void OnDisconnected();

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
};
