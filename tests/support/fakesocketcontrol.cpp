#include "fakesocketcontrol.h"

void FakeSocketControl::Connect()
{
    ++ConnectCalls;
}

void FakeSocketControl::GetData(QByteArray &data)
{
    data = Waiting;
    Waiting.clear();
}

void FakeSocketControl::SendData(const QByteArray &data)
{
    Sent.append(data);
}

void FakeSocketControl::Close()
{
    ++CloseCalls;
    Open = false;
}

bool FakeSocketControl::IsOpen() const
{
    return Open;
}

void FakeSocketControl::Arrive(const QByteArray &bytes, qint64 bytesTotal)
{
    Waiting += bytes;
    emit DataArrival(bytesTotal < 0 ? Waiting.size() : bytesTotal);
}

void FakeSocketControl::RaiseConnected()
{
    Open = true;
    emit Connected();
}

void FakeSocketControl::RaiseConnectFailed(const QString &reason)
{
    emit ConnectFailed(reason);
}

void FakeSocketControl::RaisePeerClosed(const QString &reason)
{
    Open = false;
    emit PeerClosed(reason);
}
