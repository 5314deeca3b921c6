// Inbound bytes framed into packets by their header (the largest packet: test_session),
// and the match text compared with a received line.
#include "protocol/matchpacket.h"
#include "protocol/packetassembler.h"
#include <QtTest>

namespace {
QByteArray Bytes(const char *hex) { return QByteArray::fromHex(hex); }
QString Line(const QByteArray &packet) { return "--> " + QString::fromLatin1(packet.toHex(' ').toUpper()) + ' '; }
}

class TestPacketAssembler : public QObject {
    Q_OBJECT

private slots:
    void headersFrameThePackets_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QByteArray p0F = Bytes("0F") + QByteArray(15, '\x01');
        const QByteArray p11 = Bytes("11FF") + QByteArray(255, '\xEE');
        const QByteArray p12 = Bytes("120102") + QByteArray(258, '\x5A');
        QTest::newRow("back to back") << Bytes("0500686AF13F1100") << QStringList{"--> 05 00 68 6A F1 3F ", "--> 11 00 "};
        QTest::newRow("headers 00 10 F0 alone") << Bytes("0010F0") << QStringList{"--> 00 ", "--> 10 ", "--> F0 "};
        QTest::newRow("header 0F") << p0F << QStringList{Line(p0F)};
        QTest::newRow("11 03 takes three") << Bytes("1103010203") << QStringList{"--> 11 03 01 02 03 "};
        QTest::newRow("11 FF") << p11 << QStringList{Line(p11)};
        QTest::newRow("12 00 00") << Bytes("120000") << QStringList{"--> 12 00 00 "};
        QTest::newRow("12 00 alone is open") << Bytes("1200") << QStringList();
        QTest::newRow("12 01 02 expects 258") << p12 << QStringList{Line(p12)};
        QTest::newRow("12 01 02 one short") << p12.chopped(1) << QStringList();
        QTest::newRow("header bytes as payload") << Bytes("021112") << QStringList{"--> 02 11 12 "};
    }
    void headersFrameThePackets()
    {
        QFETCH(QByteArray, bytes);
        PacketAssembler assembler; // fed one byte at a time, as the tick and the socket do
        QStringList completed;
        for (char c : bytes)
            if (assembler.Feed(quint8(c), [](const QString &line) { QFAIL(qPrintable(line)); }))
                completed << (assembler.InState == 1 ? assembler.InLine : "state not back to header");
        QTEST(completed, "lines");
    }

    void matchTextIsComparedWithTheReceivedLine_data()
    {
        QTest::addColumn<QString>("matchText");
        QTest::addColumn<bool>("matches");
        QTest::newRow("default") << "05 00 68 6A F1 3F" << true;
        QTest::newRow("lower case, outer spaces") << "  05 00 68 6a f1 3f  " << true;
        QTest::newRow("one-digit byte") << "05 0 68 6A F1 3F" << false;
        QTest::newRow("no spaces") << "0500686AF13F" << false;
        QTest::newRow("two spaces inside") << "05 00  68 6A F1 3F" << false;
        QTest::newRow("prefix of the packet") << "05 00 68" << false;
        QTest::newRow("with the arrow") << "--> 05 00 68 6A F1 3F" << false;
        QTest::newRow("tab is not trimmed") << "05 00 68 6A F1 3F\t" << false;
        QTest::newRow("empty never matches") << "" << false;
    }
    void matchTextIsComparedWithTheReceivedLine()
    {
        QFETCH(QString, matchText);
        MatchPacket match;
        match.SetText(matchText);
        QTEST(match.Matches("--> 05 00 68 6A F1 3F "), "matches");
        QVERIFY(!match.Matches("--> ")); // a line without bytes never matches
    }
};

QTEST_GUILESS_MAIN(TestPacketAssembler)
#include "test_packetassembler.moc"
