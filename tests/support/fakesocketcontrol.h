#pragma once
#include "datapipe/socketcontrol.h"
#include <QList>

// A socket control that records what the program asks of it and raises the events
// a test chooses, including a DataArrival whose count differs from the bytes.
class FakeSocketControl : public SocketControl {
    Q_OBJECT
public:
    using SocketControl::SocketControl;

    QList<QByteArray> Sent; // one entry per SendData call
    int ConnectCalls = 0;
    int CloseCalls = 0;
    bool Open = false;      // what IsOpen answers
    QByteArray Waiting;     // what the next GetData takes

    void Connect() override { ++ConnectCalls; }
    void GetData(QByteArray &data) override { data = std::exchange(Waiting, {}); }
    void SendData(const QByteArray &data) override { Sent.append(data); }
    void Close() override { ++CloseCalls, Open = false; }
    bool IsOpen() const override { return Open; }

    // Queues bytes and raises DataArrival with bytesTotal (-1: the count queued).
    void Arrive(const QByteArray &bytes, qint64 bytesTotal = -1)
    {
        Waiting += bytes;
        emit DataArrival(bytesTotal < 0 ? Waiting.size() : bytesTotal);
    }
    void RaiseConnected() { Open = true, emit Connected(); }
    void RaiseConnectFailed(const QString &reason) { emit ConnectFailed(reason); }
    void RaisePeerClosed(const QString &reason) { Open = false, emit PeerClosed(reason); }
};
