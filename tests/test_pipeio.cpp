#include "datapipe/pipeio.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"
#include <QtTest>

class TestPipeIo : public QObject {
    Q_OBJECT

    FakeSerialDriver *Driver = nullptr;
    FakeSocketControl *Socket = nullptr;
    PipeIo *Pipe = nullptr;
    QStringList Lines;

    QList<int> ReadAll()
    {
        QList<int> got;
        for (Pipe->ReadPipeByte(); Pipe->InByte != -1; Pipe->ReadPipeByte())
            got << Pipe->InByte;
        return got;
    }

private slots:
    void init()
    {
        Driver = new FakeSerialDriver;
        Socket = new FakeSocketControl;
        Lines.clear();
        Pipe = new PipeIo(*Driver, *Socket, [this](const QString &line) { Lines << line; });
    }
    void cleanup()
    {
        delete Pipe;
        delete Socket;
        delete Driver;
    }

    void ethernetReadOfAnEmptyBufferGivesNoByteSilently()
    {
        Pipe->DataPipe = 2;
        Pipe->ReadPipeByte();
        QCOMPARE(Pipe->InByte, -1);
        QVERIFY(Lines.isEmpty());
    }

    void ethernetReadDeliversThreeBytesInOrderThenNone()
    {
        Pipe->DataPipe = 2;
        Socket->Waiting = QByteArray("\x11\x00\xFF", 3);
        Pipe->TakeArrival(3);
        QCOMPARE(ReadAll(), (QList<int>{0x11, 0x00, 0xFF}));
        Pipe->ReadPipeByte();
        QCOMPARE(Pipe->InByte, -1);
        QVERIFY(Lines.isEmpty());
    }

    void everyReceivedByteHasTheKeyRemoved_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::addColumn<int>("key");
        for (int pipe : {1, 2})
            for (int key : {0x00, 0x5A, 0xFF})
                QTest::addRow("pipe %d key %02X", pipe, key) << pipe << key;
    }
    void everyReceivedByteHasTheKeyRemoved()
    {
        QFETCH(int, dataPipe);
        QFETCH(int, key);
        QByteArray wire;
        QList<int> plain;
        for (int b = 0; b < 256; ++b) {
            wire.append(char(b));
            plain << (b ^ key); // the key itself comes out as 00, 00 as the key
        }
        Pipe->DataPipe = qint16(dataPipe);
        Pipe->KeyByte = key;
        if (dataPipe == 1) {
            Driver->Inbound = wire;
        } else {
            Socket->Waiting = wire;
            Pipe->TakeArrival(wire.size());
        }
        QCOMPARE(ReadAll(), plain);
        QVERIFY(Lines.isEmpty());
    }

    void serialReadAsksForAPacketBeforeEveryGetByte()
    {
        Pipe->ComPort = 3;
        Driver->Inbound = "A";
        QCOMPARE(ReadAll(), QList<int>{'A'});
        QCOMPARE(Driver->Calls, (QStringList{"ser_rs232_getpacket(3,0,0)", "GetByte(3)",
                                             "ser_rs232_getpacket(3,0,0)", "GetByte(3)"}));
        QCOMPARE(Pipe->PipeResult, 0);
        QVERIFY(Lines.isEmpty());
    }

    void failedPacketCallSkipsGetByte()
    {
        Driver->Results["ser_rs232_getpacket"] = 2;
        Driver->Inbound = "A";
        Pipe->ReadPipeByte();
        QCOMPARE(Pipe->InByte, -1);
        QCOMPARE(Pipe->PipeResult, 2);
        QCOMPARE(Driver->Calls, QStringList{"ser_rs232_getpacket(1,0,0)"});
        QCOMPARE(Lines, QStringList{"Error getting a packet: 2"});
    }

    void wrongDataPipeIsReportedByEveryOperationButBreak()
    {
        Pipe->DataPipe = 0;
        Pipe->SetOutPacket("AB");
        Pipe->ReadPipeByte();
        QCOMPARE(Pipe->InByte, -1);
        Pipe->FlushPipe();
        Pipe->SendPipePacket();
        Pipe->SendBreak();
        QCOMPARE(Lines, (QStringList{"Error reading a byte.  DataPipe value wrong.",
                                     "Error flushing inbound data pipe.  DataPipe value wrong.",
                                     "Error sending a packet.  DataPipe value wrong."}));
        QVERIFY(Driver->Calls.isEmpty());
        QVERIFY(Socket->Sent.isEmpty());
    }

    void flushMakesBothCallsWhateverTheFirstAnswers()
    {
        Pipe->ComPort = 2;
        Driver->Results["FlushReceiveBuffer"] = 4;
        Driver->Results["FlushTransmitBuffer"] = -9;
        Pipe->FlushPipe();
        QCOMPARE(Driver->Calls, (QStringList{"FlushReceiveBuffer(2)", "FlushTransmitBuffer(2)"}));
        QCOMPARE(Lines, (QStringList{"Error flushing receive buffer: 4",
                                     "Error flushing transmit buffer: -9"}));
        QCOMPARE(Pipe->PipeResult, -9);
    }

    void ethernetFlushLeavesTheReceiveBuffer()
    {
        Pipe->DataPipe = 2;
        Socket->Arrive("xy");
        Pipe->TakeArrival(2);
        Pipe->FlushPipe();
        QCOMPARE(ReadAll(), (QList<int>{'x', 'y'}));
        QVERIFY(Driver->Calls.isEmpty());
        QVERIFY(Lines.isEmpty());
    }

    void breakGoesOnlyToTheSerialLine()
    {
        Pipe->ComPort = 4;
        Pipe->SendBreak();
        Driver->Results["SendBreak"] = 7;
        Pipe->SendBreak();
        QCOMPARE(Driver->Calls, (QStringList{"SendBreak(4,5)", "SendBreak(4,5)"}));
        QCOMPARE(Lines, QStringList{"Error sending break symbol: 7"});

        Pipe->DataPipe = 2;
        Pipe->SendBreak();
        QCOMPARE(Driver->Calls.size(), 2);
        QCOMPARE(Lines.size(), 1);
    }

    void emptyPacketMakesNoCall_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::newRow("serial") << 1;
        QTest::newRow("ethernet") << 2;
    }
    void emptyPacketMakesNoCall()
    {
        QFETCH(int, dataPipe);
        Pipe->DataPipe = qint16(dataPipe);
        Socket->Open = true;
        Pipe->SendPipePacket();
        QVERIFY(Driver->Calls.isEmpty());
        QVERIFY(Socket->Sent.isEmpty());
        QVERIFY(Lines.isEmpty());
    }

    void serialPacketGoesByteByByteThenOnePacketCall()
    {
        Pipe->SetOutPacket(QByteArray::fromHex("0500686AF13F"));
        Pipe->SendPipePacket();
        QCOMPARE(Driver->Calls, (QStringList{"PutByte(1,5)", "PutByte(1,0)", "PutByte(1,104)",
                                             "PutByte(1,106)", "PutByte(1,241)", "PutByte(1,63)",
                                             "ser_rs232_putpacket(1,0,0)"}));
        QVERIFY(Lines.isEmpty());
        QCOMPARE(Pipe->OutCount, 6); // the caller resets the packet, not the send
    }

    void failedPutBytePostsItsCodeAndTheRestStillGoes_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("positive") << 3;
        QTest::newRow("negative keeps its sign") << -3;
    }
    void failedPutBytePostsItsCodeAndTheRestStillGoes()
    {
        QFETCH(int, code);
        Driver->Script["PutByte"] = {0, code, 0};
        Pipe->SetOutPacket(QByteArray("\x01\x02\x03", 3));
        Pipe->SendPipePacket();
        QCOMPARE(Driver->Calls, (QStringList{"PutByte(1,1)", "PutByte(1,2)", "PutByte(1,3)",
                                             "ser_rs232_putpacket(1,0,0)"}));
        QCOMPARE(Lines, QStringList{"Error in put byte: " + QString::number(code)});
        QCOMPARE(Pipe->PipeResult, 0); // the closing call's result
    }

    void failedPacketCallIsReported()
    {
        Driver->Results["ser_rs232_putpacket"] = 12;
        Pipe->SetOutPacket("Z");
        Pipe->SendPipePacket();
        QCOMPARE(Lines, QStringList{"Error in put packet: 12"});
        QCOMPARE(Pipe->PipeResult, 12);
    }

    void keyByteIsAppliedToEveryOutboundByte()
    {
        Pipe->KeyByte = 0xA5;
        Pipe->SetOutPacket(QByteArray("\xA5\x00\xFF", 3));
        Pipe->SendPipePacket();
        QCOMPARE(Driver->Calls.mid(0, 3), (QStringList{"PutByte(1,0)", "PutByte(1,165)", "PutByte(1,90)"}));

        Pipe->DataPipe = 2;
        Socket->Open = true;
        Pipe->SendPipePacket();
        QCOMPARE(Socket->Sent, QList<QByteArray>{QByteArray("\x00\xA5\x5A", 3)});
    }

    void outOfRangeElementsKeepOnlyTheirLowByte()
    {
        Pipe->DataPipe = 2;
        Socket->Open = true;
        Pipe->KeyByte = 0x01;
        Pipe->OutPacket = {0x1FF, -1};
        Pipe->OutCount = 2;
        Pipe->SendPipePacket();
        QCOMPARE(Socket->Sent, QList<QByteArray>{QByteArray("\xFE\xFE", 2)});
    }

    void ethernetPacketIsOneSendOfExactlyOutCountBytes()
    {
        Pipe->DataPipe = 2;
        Socket->Open = true;
        Pipe->OutPacket = {1, 2, 3, 4, 5};
        Pipe->OutCount = 3;
        Pipe->SendPipePacket();
        QCOMPARE(Socket->Sent, QList<QByteArray>{QByteArray("\x01\x02\x03", 3)});
        QVERIFY(Driver->Calls.isEmpty());
        QVERIFY(Lines.isEmpty());
    }

    void ethernetPacketWhileTheLinkIsNotOpenIsDropped()
    {
        Pipe->DataPipe = 2;
        Pipe->SetOutPacket("AB");
        Pipe->SendPipePacket();
        QVERIFY(Socket->Sent.isEmpty());
        QCOMPARE(Lines, QStringList{"Error sending a packet.  Ethernet link not open."});
    }

    void countBeyondThePacketSendsOnlyThePacket()
    {
        Pipe->OutPacket = {7, 8};
        Pipe->OutCount = 5;
        Pipe->SendPipePacket();
        QCOMPARE(Driver->Calls, (QStringList{"PutByte(1,7)", "PutByte(1,8)", "ser_rs232_putpacket(1,0,0)"}));
    }

    void outPacketIsSetAndResetWhole()
    {
        Pipe->SetOutPacket(QByteArray("\x80\x01", 2));
        QCOMPARE(Pipe->OutCount, 2);
        QCOMPARE(Pipe->OutPacket, (QVector<qint32>{0x80, 0x01}));
        Pipe->SetOutPacket(QByteArray());
        QCOMPARE(Pipe->OutCount, 0);
        QCOMPARE(Pipe->OutPacket, QVector<qint32>{0});
        Pipe->SetOutPacket("xyz");
        Pipe->ResetOutPacket();
        QCOMPARE(Pipe->OutCount, 0);
        QCOMPARE(Pipe->OutPacket, QVector<qint32>{0});
    }

    void arrivalReplacesTheBufferAndChecksTheCount_data()
    {
        QTest::addColumn<qint64>("bytesTotal");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("equal") << qint64(5) << QStringList();
        QTest::newRow("differs") << qint64(7)
                                 << QStringList{"Byte counts are not equal.", "IncomingByteCount = 7",
                                                "UBound = 4  LBound = 0"};
    }
    void arrivalReplacesTheBufferAndChecksTheCount()
    {
        QFETCH(qint64, bytesTotal);
        QFETCH(QStringList, lines);
        Pipe->DataPipe = 2;
        Socket->Waiting = "old";
        Pipe->TakeArrival(3);
        Pipe->ReadPipeByte(); // partly read, then replaced
        Socket->Waiting = "12345";
        Pipe->TakeArrival(bytesTotal);
        QCOMPARE(Pipe->RxIndex, 0);
        QCOMPARE(Pipe->RxLast, 4);
        QCOMPARE(Lines, lines);
        QCOMPARE(ReadAll(), (QList<int>{'1', '2', '3', '4', '5'}));
        QVERIFY(Socket->Waiting.isEmpty());
    }

    void emptyArrivalLeavesAnEmptyBuffer()
    {
        Pipe->DataPipe = 2;
        Pipe->TakeArrival(0);
        QCOMPARE(Pipe->RxLast, -1);
        QCOMPARE(ReadAll(), QList<int>());
        QVERIFY(Lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPipeIo)
#include "test_pipeio.moc"
