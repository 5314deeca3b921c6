#pragma once
#include "datapipe/socketcontrol.h"

class QTcpSocket;

// The socket control over QTcpSocket. The read buffer is bounded so that a flooding
// device is throttled by TCP instead of growing the process.
class TcpSocketControl : public SocketControl {
    Q_OBJECT
public:
    static constexpr qint64 ReadBufferSize = 256 * 1024;

    explicit TcpSocketControl(QObject *parent = nullptr);

    void Connect() override;
    void GetData(QByteArray &data) override;
    void SendData(const QByteArray &data) override;
    void Close() override;
    bool IsOpen() const override;

private:
    void SocketConnected();
    void SocketError();
    void SocketDisconnected();
    void RaiseArrival();

    QTcpSocket *Socket;
    bool Pending = false;
    bool Established = false;
    quint64 Takes = 0; // GetData calls, to tell a drained arrival from an ignored one
};
