#include "protocol/matchpacket.h"
#include "protocol/packetassembler.h"
#include <QtTest>

namespace {

QByteArray Bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QString Line(const QByteArray &packet)
{
    return "--> " + QString::fromLatin1(packet.toHex(' ').toUpper()) + ' ';
}

} // namespace

class TestPacketAssembler : public QObject
{
    Q_OBJECT

    QStringList posted;
    PostMsg post = [this](const QString &line) { posted << line; };
    PacketAssembler assembler;

    // Feeds bytes one at a time, as the tick and the socket do, collecting completed lines.
    QStringList FeedAll(const QByteArray &bytes)
    {
        QStringList completed;
        for (char c : bytes) {
            if (assembler.Feed(quint8(c), post)) {
                completed << assembler.InLine;
                if (assembler.InState != 1)
                    completed << "state not back to header";
            }
        }
        return completed;
    }

private slots:
    void init()
    {
        assembler.Reset();
        posted.clear();
    }

    void headersFrameThePackets_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QString>("partial");
        const QByteArray big = Bytes("120102") + QByteArray(258, '\x5A');
        QTest::newRow("default packet") << Bytes("0500686AF13F") << QStringList{"--> 05 00 68 6A F1 3F "} << 1 << 0 << "";
        QTest::newRow("header 00 alone") << Bytes("00") << QStringList{"--> 00 "} << 1 << 0 << "";
        QTest::newRow("header 10 alone") << Bytes("10") << QStringList{"--> 10 "} << 1 << 0 << "";
        QTest::newRow("header F0 alone") << Bytes("F0") << QStringList{"--> F0 "} << 1 << 0 << "";
        QTest::newRow("header 15 reads low bits") << Bytes("150102030405") << QStringList{"--> 15 01 02 03 04 05 "} << 1 << 0 << "";
        QTest::newRow("header 0F") << Bytes("0F") + QByteArray(15, '\x01') << QStringList{Line(Bytes("0F") + QByteArray(15, '\x01'))} << 1 << 0 << "";
        QTest::newRow("11 00") << Bytes("1100") << QStringList{"--> 11 00 "} << 1 << 0 << "";
        QTest::newRow("11 03 takes three") << Bytes("110301020304") << QStringList{"--> 11 03 01 02 03 "} << 0 << 4 << "--> 04 ";
        QTest::newRow("11 FF") << Bytes("11FF") + QByteArray(255, '\xEE') << QStringList{Line(Bytes("11FF") + QByteArray(255, '\xEE'))} << 1 << 0 << "";
        QTest::newRow("12 00 00") << Bytes("120000") << QStringList{"--> 12 00 00 "} << 1 << 0 << "";
        QTest::newRow("12 00 alone is open") << Bytes("1200") << QStringList() << 4 << 0 << "--> 12 00 ";
        QTest::newRow("12 01 00 expects 256") << Bytes("120100") << QStringList() << 0 << 256 << "--> 12 01 00 ";
        QTest::newRow("12 01 02 expects 258") << big << QStringList{Line(big)} << 1 << 0 << "";
        QTest::newRow("12 01 02 one short") << big.left(big.size() - 1) << QStringList() << 0 << 1 << Line(big.left(big.size() - 1));
        QTest::newRow("header 11 as payload") << Bytes("021112") << QStringList{"--> 02 11 12 "} << 1 << 0 << "";
        QTest::newRow("two packets back to back")
            << Bytes("0500686AF13F1100") << QStringList{"--> 05 00 68 6A F1 3F ", "--> 11 00 "} << 1 << 0 << "";
        QTest::newRow("incomplete") << Bytes("050068") << QStringList() << 0 << 3 << "--> 05 00 68 ";
    }

    void headersFrameThePackets()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(int, state);
        QFETCH(int, remaining);
        QFETCH(QString, partial);
        QCOMPARE(FeedAll(bytes), lines);
        QCOMPARE(assembler.InState, state);
        QCOMPARE(assembler.InRemaining, remaining);
        if (!partial.isEmpty())
            QCOMPARE(assembler.InLine, partial);
        QCOMPARE(posted, QStringList());
    }

    void aPacketSplitOverManyDeliveriesGivesOneLine()
    {
        const QByteArray packet = Bytes("110A00112233445566778899");
        QStringList completed;
        for (qsizetype at = 0; at < packet.size(); at += 3)
            completed << FeedAll(packet.mid(at, 3));
        QCOMPARE(completed, QStringList{Line(packet)});
        QCOMPARE(FeedAll(Bytes("00")), QStringList{"--> 00 "}); // next byte is a header again
    }

    void theLargestPacketKeepsEveryByte()
    {
        QByteArray packet = Bytes("12FFFF");
        for (int i = 0; i < 65535; ++i)
            packet += char(i * 7);
        const QStringList completed = FeedAll(packet);
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed[0].size(), 4 + 3 * packet.size());
        QCOMPARE(completed[0], Line(packet));
    }

    void aBadStateIsReportedAndTheByteDropped_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("line");
        QTest::newRow("5") << 5 << "Error processing PacketHead.5";
        QTest::newRow("1A") << 0x1A << "Error processing PacketHead.1A";
        QTest::newRow("negative") << -1 << "Error processing PacketHead.FFFFFFFF";
    }

    void aBadStateIsReportedAndTheByteDropped()
    {
        QFETCH(int, state);
        QFETCH(QString, line);
        assembler.InState = state;
        assembler.InRemaining = 9;
        QVERIFY(!assembler.Feed(0x00, post));
        QCOMPARE(posted, QStringList{line});
        QCOMPARE(assembler.InState, 1);
        QCOMPARE(assembler.InRemaining, 0);
        QCOMPARE(FeedAll(Bytes("00")), QStringList{"--> 00 "});
    }

    void resetStartsOver()
    {
        FeedAll(Bytes("12010203"));
        assembler.Reset();
        QCOMPARE(assembler.InState, 1);
        QCOMPARE(assembler.InRemaining, 0);
        QCOMPARE(assembler.InLine, QString());
        QCOMPARE(FeedAll(Bytes("00")), QStringList{"--> 00 "});
    }

    void matchTextIsComparedWithTheReceivedLine_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("matchText");
        QTest::addColumn<bool>("matches");
        const QByteArray standard = Bytes("0500686AF13F");
        QTest::newRow("default") << standard << "05 00 68 6A F1 3F" << true;
        QTest::newRow("lower case") << standard << "05 00 68 6a f1 3f" << true;
        QTest::newRow("outer spaces") << standard << "  05 00 68 6A F1 3F  " << true;
        QTest::newRow("one-digit byte") << standard << "05 0 68 6A F1 3F" << false;
        QTest::newRow("no spaces") << standard << "0500686AF13F" << false;
        QTest::newRow("two spaces inside") << standard << "05 00  68 6A F1 3F" << false;
        QTest::newRow("payload alone") << standard << "00 68 6A F1 3F" << false;
        QTest::newRow("prefix of the packet") << standard << "05 00 68" << false;
        QTest::newRow("with the arrow") << standard << "--> 05 00 68 6A F1 3F" << false;
        QTest::newRow("one byte") << Bytes("00") << "00" << true;
        QTest::newRow("empty never matches") << Bytes("00") << "" << false;
        QTest::newRow("spaces never match") << Bytes("00") << "   " << false;
        QTest::newRow("tab is not trimmed") << Bytes("00") << "00\t" << false;
    }

    void matchTextIsComparedWithTheReceivedLine()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QString, matchText);
        QFETCH(bool, matches);
        const QStringList completed = FeedAll(packet);
        QCOMPARE(completed.size(), 1);
        QCOMPARE(PacketMatches(completed[0], matchText), matches);
    }

    void aPartialLineWithoutBytesNeverMatchesEmptyText()
    {
        QVERIFY(!PacketMatches("--> ", ""));
        QVERIFY(!PacketMatches("", ""));
    }
};

QTEST_MAIN(TestPacketAssembler)
#include "test_packetassembler.moc"
