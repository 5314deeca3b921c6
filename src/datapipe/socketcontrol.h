#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

// The socket control behind the Ethernet data pipe: one TCP client connection.
// Connect returns at once; every outcome arrives later as a signal on the GUI thread.
class SocketControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    int Protocol = 0; // 0 = TCP, the only protocol used
    QString RemoteHost;
    int RemotePort = 0;

    virtual void Connect() = 0;
    // Replaces data with every byte waiting, in arrival order.
    virtual void GetData(QByteArray &data) = 0;
    virtual void SendData(const QByteArray &data) = 0;
    // Ends a connected or pending connection; raises no PeerClosed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

signals:
    void Connected();
    void DataArrival(qint64 bytesTotal);
    void ConnectFailed(const QString &reason);
    void PeerClosed(const QString &reason);
};
