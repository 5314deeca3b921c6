// The data pipe over a fake driver and socket: the key on every byte both ways. What
// the pipe posts when a driver call fails, or a count differs, is met in test_session.
#include "datapipe/pipeio.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"
#include <QtTest>

class TestPipeIo : public QObject {
    Q_OBJECT
private slots:
    void keyAppliesToEveryByteBothWays_data()
    {
        QTest::addColumn<int>("dataPipe");
        QTest::addColumn<int>("key");
        for (int pipe : {1, 2})
            for (int key : {0x00, 0x5A, 0xFF})
                QTest::addRow("pipe %d key %02X", pipe, key) << pipe << key;
    }
    void keyAppliesToEveryByteBothWays()
    {
        QFETCH(int, dataPipe);
        QFETCH(int, key);
        FakeSerialDriver driver;
        FakeSocketControl socket;
        QStringList lines;
        PipeIo io(driver, socket, [&](const QString &line) { lines << line; });
        io.DataPipe = qint16(dataPipe);
        io.KeyByte = key;
        socket.Open = true;
        QByteArray plain(256, '\0'), wire(256, '\0');
        for (int b = 0; b < 256; ++b) {
            plain[b] = char(b);
            wire[b] = char(b ^ key); // the key itself goes out as 00, 00 as the key
        }
        io.SendPipePacket({}); // nothing to send: no call at all
        io.SendPipePacket(plain);
        QCOMPARE(dataPipe == 1 ? driver.Sent : socket.Sent.value(0), wire);
        // Serial: one PutByte a byte, then one packet call. Ethernet: one send of the whole packet.
        QCOMPARE(driver.Calls.size() + socket.Sent.size(), dataPipe == 1 ? 257 : 1);
        socket.Waiting = "old";
        io.TakeArrival(3);
        io.ReadPipeByte(); // partly read, then replaced by the next arrival
        driver.Inbound = socket.Waiting = wire; // only the chosen pipe's copy is read
        io.TakeArrival(256);
        QByteArray got;
        for (int byte; (byte = io.ReadPipeByte()) != -1;)
            got.append(char(byte));
        QCOMPARE(got, plain);
        QVERIFY(lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPipeIo)
#include "test_pipeio.moc"
