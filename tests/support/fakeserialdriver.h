#pragma once
#include "datapipe/serialdriver.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// A serial driver that records every call and answers what the test chose.
// Calls reads like "PutByte(1,5)" or "ser_rs232_putpacket(1,0,0)" (the last
// argument is the text passed). A call answers the next value of Script[name],
// while there is one, else Results[name], else 0. GetByte pops Inbound's bytes
// (-1 when empty); a PutByte that answers 0 appends its byte to Sent.
class FakeSerialDriver : public SerialDriver {
public:
    QStringList Calls;
    QHash<QString, int> Results;
    QHash<QString, QList<int>> Script;
    QByteArray Inbound;
    QByteArray Sent;

    int InitializePort(int port, int index, int a, int b, int c, int d,
                       int rxSize, int txSize, int e) override;
    int ser_rs232_getport(int port, PortParams &params) override;
    int SetPortCharacteristics(int port, int speedCode, int parity, int dataBits,
                               int stopBits, int last) override;
    int CdrvSetTimerResolution(int port, int milliseconds) override;
    int SetTimeout(int port, int timeout) override;
    int SetPaceTime(int port, int pace) override;
    int FlushReceiveBuffer(int port) override;
    int FlushTransmitBuffer(int port) override;
    int ser_rs232_getpacket(int port, int count, char *text) override;
    int GetByte(int port) override;
    int PutByte(int port, int byte) override;
    int ser_rs232_putpacket(int port, int count, char *text) override;
    int SendBreak(int port, int length) override;
    int UnInitializePort(int port) override;

private:
    int Answer(const QString &name, const QStringList &arguments);
};
