#include "datapipe/pipeio.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"
#include <QtTest>

using Answers = QHash<QString, QList<int>>;
using Packet = QVector<qint32>;

class TestPipeIo : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeSerialDriver> Driver;
    std::unique_ptr<FakeSocketControl> Socket;
    std::unique_ptr<PipeIo> Pipe;
    QStringList Lines;

    QByteArray ReadAll()
    {
        QByteArray got;
        for (Pipe->ReadPipeByte(); Pipe->InByte != -1; Pipe->ReadPipeByte())
            got.append(char(Pipe->InByte));
        return got;
    }

private slots:
    void init()
    {
        Driver = std::make_unique<FakeSerialDriver>();
        Socket = std::make_unique<FakeSocketControl>();
        Lines.clear();
        Pipe = std::make_unique<PipeIo>(*Driver, *Socket, [this](const QString &line) { Lines << line; });
    }

    void packetGoesOutWithTheKeyApplied_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::addColumn<int>("key");
        QTest::addColumn<Packet>("packet");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("wire");
        for (int pipe : {1, 2}) {
            const QByteArray name = pipe == 1 ? "serial, " : "ethernet, ";
            QTest::newRow(name + "plain") << pipe << 0 << Packet{5, 0, 0x68} << 3 << QByteArray("\5\0\x68", 3);
            QTest::newRow(name + "keyed") << pipe << 0xA5 << Packet{0xA5, 0, 0xFF} << 3 << QByteArray("\0\xA5\x5A", 3);
            QTest::newRow(name + "low byte only") << pipe << 1 << Packet{0x1FF, -1} << 2 << QByteArray("\xFE\xFE");
            QTest::newRow(name + "count below the packet") << pipe << 0 << Packet{1, 2, 3} << 2 << QByteArray("\1\2");
            QTest::newRow(name + "count beyond the packet") << pipe << 0 << Packet{7, 8} << 5 << QByteArray("\7\x08");
            QTest::newRow(name + "empty") << pipe << 0 << Packet{0} << 0 << QByteArray();
            QTest::newRow(name + "negative count") << pipe << 0 << Packet{1} << -1 << QByteArray();
        }
    }
    void packetGoesOutWithTheKeyApplied()
    {
        QFETCH(int, dataPipe);
        QFETCH(int, key);
        QFETCH(Packet, packet);
        QFETCH(int, count);
        QFETCH(QByteArray, wire);
        Pipe->DataPipe = qint16(dataPipe);
        Pipe->KeyByte = key;
        Pipe->OutPacket = packet;
        Pipe->OutCount = count;
        Socket->Open = true;
        Pipe->SendPipePacket();
        QCOMPARE(Driver->Sent + Socket->Sent.join('|'), wire);
        // Serial: one PutByte a byte, then one packet call. Ethernet: one send of the whole packet.
        QCOMPARE(Driver->Calls.size(), dataPipe == 1 && !wire.isEmpty() ? wire.size() + 1 : 0);
        QCOMPARE(Socket->Sent.size(), dataPipe == 2 && !wire.isEmpty() ? 1 : 0);
        QVERIFY(Lines.isEmpty());
        QCOMPARE(Pipe->OutCount, count); // the caller resets the packet, not the send
    }

    void failuresArePostedWithTheirCodes_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::addColumn<QChar>("operation"); // r read, s send 01 02 03, f flush, b break
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<QString>("trace");   // the driver calls, then the lines posted
        QTest::addColumn<int>("result");
        const QString send = "PutByte(2,1) | PutByte(2,2) | PutByte(2,3) | ser_rs232_putpacket(2,0,0)";
        const QString wrong = "  DataPipe value wrong.";
        QTest::newRow("read asks for a packet first")
            << 1 << QChar('r') << Answers() << "ser_rs232_getpacket(2,0,0) | GetByte(2)" << 0;
        QTest::newRow("getpacket skips GetByte") << 1 << QChar('r') << Answers{{"ser_rs232_getpacket", {2}}}
                                                 << "ser_rs232_getpacket(2,0,0) | Error getting a packet: 2" << 2;
        for (int code : {3, -3})
            QTest::addRow("put byte %d, the rest still goes", code)
                << 1 << QChar('s') << Answers{{"PutByte", {0, code, 0}}}
                << send + " | Error in put byte: " + QString::number(code) << 0;
        QTest::newRow("put packet") << 1 << QChar('s') << Answers{{"ser_rs232_putpacket", {12}}}
                                    << send + " | Error in put packet: 12" << 12;
        QTest::newRow("flush makes both calls")
            << 1 << QChar('f') << Answers{{"FlushReceiveBuffer", {4}}, {"FlushTransmitBuffer", {-9}}}
            << "FlushReceiveBuffer(2) | FlushTransmitBuffer(2) | Error flushing receive buffer: 4 | "
               "Error flushing transmit buffer: -9" << -9;
        QTest::newRow("break") << 1 << QChar('b') << Answers{{"SendBreak", {7}}}
                               << "SendBreak(2,5) | Error sending break symbol: 7" << 7;
        QTest::newRow("ethernet not open")
            << 2 << QChar('s') << Answers() << "Error sending a packet.  Ethernet link not open." << 0;
        QTest::newRow("ethernet flush") << 2 << QChar('f') << Answers() << "" << 0;
        QTest::newRow("ethernet break") << 2 << QChar('b') << Answers() << "" << 0;
        QTest::newRow("wrong pipe, read") << 0 << QChar('r') << Answers() << "Error reading a byte." + wrong << 0;
        QTest::newRow("wrong pipe, send") << 0 << QChar('s') << Answers() << "Error sending a packet." + wrong << 0;
        QTest::newRow("wrong pipe, flush")
            << 0 << QChar('f') << Answers() << "Error flushing inbound data pipe." + wrong << 0;
        QTest::newRow("wrong pipe, break") << 0 << QChar('b') << Answers() << "" << 0;
    }
    void failuresArePostedWithTheirCodes()
    {
        QFETCH(int, dataPipe);
        QFETCH(QChar, operation);
        QFETCH(Answers, answers);
        Pipe->DataPipe = qint16(dataPipe);
        Pipe->ComPort = 2;
        Driver->Script = answers;
        Driver->Inbound = "A";
        Pipe->SetOutPacket("\x01\x02\x03");
        switch (operation.toLatin1()) {
        case 'r': Pipe->ReadPipeByte(); break;
        case 's': Pipe->SendPipePacket(); break;
        case 'f': Pipe->FlushPipe(); break;
        case 'b': Pipe->SendBreak(); break;
        }
        QTEST((Driver->Calls + Lines).join(" | "), "trace");
        QTEST(Pipe->PipeResult, "result");
        QVERIFY(Socket->Sent.isEmpty());
    }

    void outPacketIsSetAndResetWhole()
    {
        Pipe->SetOutPacket(QByteArray("\x80\x01", 2));
        QCOMPARE(Pipe->OutPacket, (Packet{0x80, 0x01}));
        Pipe->ResetOutPacket();
        QCOMPARE(Pipe->OutPacket, Packet{0});
        QCOMPARE(Pipe->OutCount, 0);
        Pipe->SetOutPacket("xyz");
        Pipe->SetOutPacket(QByteArray());
        QCOMPARE(Pipe->OutPacket, Packet{0});
        QCOMPARE(Pipe->OutCount, 0);
    }

    void receivedBytesHaveTheKeyRemoved_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("bytesTotal");
        QTest::addColumn<QStringList>("lines");
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        for (int pipe : {1, 2})
            for (int key : {0x00, 0x5A, 0xFF})
                QTest::addRow("pipe %d key %02X", pipe, key) << pipe << key << all << qint64(256) << QStringList();
        QTest::newRow("arrival count differs") << 2 << 0 << QByteArray("12345") << qint64(7)
            << QStringList{"Byte counts are not equal.", "IncomingByteCount = 7", "UBound = 4  LBound = 0"};
        QTest::newRow("empty arrival") << 2 << 0 << QByteArray() << qint64(0) << QStringList();
    }
    void receivedBytesHaveTheKeyRemoved()
    {
        QFETCH(int, dataPipe);
        QFETCH(int, key);
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, bytesTotal);
        Pipe->DataPipe = qint16(dataPipe);
        Socket->Waiting = "old";
        Pipe->TakeArrival(3);
        Pipe->ReadPipeByte(); // partly read, then replaced by the next arrival
        Pipe->KeyByte = key;
        Driver->Inbound = Socket->Waiting = bytes; // only the chosen pipe's copy is read
        Pipe->TakeArrival(bytesTotal);
        QCOMPARE(Pipe->RxIndex, 0);
        QCOMPARE(Pipe->RxLast, bytes.size() - 1);
        QTEST(Lines, "lines");
        QByteArray plain = bytes;
        for (char &c : plain)
            c = char(c ^ key); // the key itself comes out as 00, 00 as the key
        QCOMPARE(ReadAll(), plain);
        QVERIFY(Socket->Waiting.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPipeIo)
#include "test_pipeio.moc"
