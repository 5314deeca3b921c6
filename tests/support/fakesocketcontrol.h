#pragma once
#include "datapipe/socketcontrol.h"
#include <QList>

// A socket control that records what the program asks of it and raises the events
// a test chooses, including a DataArrival whose count differs from the bytes.
class FakeSocketControl : public SocketControl {
    Q_OBJECT
public:
    using SocketControl::SocketControl;

    QList<QByteArray> Sent;   // one entry per SendData call
    int ConnectCalls = 0;
    int CloseCalls = 0;
    bool Open = false;        // what IsOpen answers
    QByteArray Waiting;       // what the next GetData takes

    void Connect() override;
    void GetData(QByteArray &data) override;
    void SendData(const QByteArray &data) override;
    void Close() override;
    bool IsOpen() const override;

    // Queues bytes and raises DataArrival with bytesTotal (-1: the count queued).
    void Arrive(const QByteArray &bytes, qint64 bytesTotal = -1);
    void RaiseConnected();
    void RaiseConnectFailed(const QString &reason);
    void RaisePeerClosed(const QString &reason);
};
