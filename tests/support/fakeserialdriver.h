#pragma once
#include "datapipe/serialdriver.h"
#include <QByteArray>
#include <QHash>
#include <QStringList>

// A serial driver that records every call and answers what the test chose.
// Calls reads like "PutByte(1,5)" or "ser_rs232_putpacket(1,0,0)" (the last
// argument is the text passed). A call answers the next value of Script[name],
// while there is one, else Results[name], else 0. GetByte pops Inbound's bytes
// (-1 when empty); a PutByte that answers 0 appends its byte to Sent. Arrive adds
// inbound bytes and tells of them, as a port does.
class FakeSerialDriver : public SerialDriver {
public:
    QStringList Calls;
    QHash<QString, int> Results;
    QHash<QString, QList<int>> Script;
    QByteArray Inbound;
    QByteArray Sent;

    void Arrive(const QByteArray &bytes)
    {
        Inbound += bytes;
        if (BytesArrived)
            BytesArrived();
    }

    int InitializePort(int port, int index, int a, int b, int c, int d, int rxSize, int txSize, int e) override
    {
        return Answer("InitializePort", {port, index, a, b, c, d, rxSize, txSize, e});
    }
    int ser_rs232_getport(int port, PortParams &) override { return Answer("ser_rs232_getport", {port}); }
    int SetPortCharacteristics(int port, int speedCode, int parity, int dataBits, int stopBits, int last) override
    {
        return Answer("SetPortCharacteristics", {port, speedCode, parity, dataBits, stopBits, last});
    }
    int CdrvSetTimerResolution(int port, int ms) override { return Answer("CdrvSetTimerResolution", {port, ms}); }
    int SetTimeout(int port, int timeout) override { return Answer("SetTimeout", {port, timeout}); }
    int SetPaceTime(int port, int pace) override { return Answer("SetPaceTime", {port, pace}); }
    int FlushReceiveBuffer(int port) override { return Answer("FlushReceiveBuffer", {port}); }
    int FlushTransmitBuffer(int port) override { return Answer("FlushTransmitBuffer", {port}); }
    int ser_rs232_getpacket(int port, int count, char *text) override
    {
        return Answer("ser_rs232_getpacket", {port, count}, text);
    }
    int GetByte(int port) override
    {
        Answer("GetByte", {port});
        const int byte = Inbound.isEmpty() ? -1 : uchar(Inbound.at(0));
        Inbound.remove(0, 1);
        return byte;
    }
    int PutByte(int port, int byte) override
    {
        const int result = Answer("PutByte", {port, byte});
        if (result == 0)
            Sent.append(char(byte));
        return result;
    }
    int ser_rs232_putpacket(int port, int count, char *text) override
    {
        return Answer("ser_rs232_putpacket", {port, count}, text);
    }
    int SendBreak(int port, int length) override { return Answer("SendBreak", {port, length}); }
    int UnInitializePort(int port) override { return Answer("UnInitializePort", {port}); }

private:
    int Answer(const char *name, std::initializer_list<int> arguments, const char *text = nullptr);
};
