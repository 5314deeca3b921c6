#include "protocol/matchpacket.h"
#include "protocol/packetassembler.h"
#include <QtTest>

namespace {
QByteArray Bytes(const char *hex) { return QByteArray::fromHex(hex); }
QString Line(const QByteArray &packet) { return "--> " + QString::fromLatin1(packet.toHex(' ').toUpper()) + ' '; }
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
        for (char c : bytes)
            if (assembler.Feed(quint8(c), post))
                completed << (assembler.InState == 1 ? assembler.InLine : "state not back to header");
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
        const QByteArray p0F = Bytes("0F") + QByteArray(15, '\x01');
        const QByteArray p11 = Bytes("11FF") + QByteArray(255, '\xEE');
        const QByteArray p12 = Bytes("120102") + QByteArray(258, '\x5A');
        QByteArray largest = Bytes("12FFFF");
        for (int i = 0; i < 65535; ++i)
            largest += char(i * 7);
        QTest::newRow("back to back") << Bytes("0500686AF13F1100") << QStringList{"--> 05 00 68 6A F1 3F ", "--> 11 00 "};
        QTest::newRow("headers 00 10 F0 alone") << Bytes("0010F0") << QStringList{"--> 00 ", "--> 10 ", "--> F0 "};
        QTest::newRow("header 0F") << p0F << QStringList{Line(p0F)};
        QTest::newRow("11 03 takes three") << Bytes("1103010203") << QStringList{"--> 11 03 01 02 03 "};
        QTest::newRow("11 FF") << p11 << QStringList{Line(p11)};
        QTest::newRow("12 00 00") << Bytes("120000") << QStringList{"--> 12 00 00 "};
        QTest::newRow("12 00 alone is open") << Bytes("1200") << QStringList();
        QTest::newRow("12 01 02 expects 258") << p12 << QStringList{Line(p12)};
        QTest::newRow("12 01 02 one short") << p12.chopped(1) << QStringList();
        QTest::newRow("12 FF FF, the largest") << largest << QStringList{Line(largest)};
        QTest::newRow("header bytes as payload") << Bytes("021112") << QStringList{"--> 02 11 12 "};
    }

    void headersFrameThePackets()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(FeedAll(bytes), lines);
        QCOMPARE(posted, QStringList());
    }

    void aBadStateIsReportedAndTheAssemblerStartsOverAtAHeader()
    {
        for (const auto &[state, shown] : {std::pair{5, "5"}, {0x1A, "1A"}, {-1, "FFFFFFFF"}}) {
            posted.clear();
            assembler.InState = state;
            QVERIFY(!assembler.Feed(0x00, post));
            QCOMPARE(posted, QStringList{QString("Error processing PacketHead.") + shown});
            QCOMPARE(FeedAll(Bytes("00")), QStringList{"--> 00 "});
        }
        FeedAll(Bytes("1201"));
        assembler.Reset(); // as when a link opens
        QCOMPARE(FeedAll(Bytes("00")), QStringList{"--> 00 "});
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
        QFETCH(bool, matches);
        QCOMPARE(PacketMatches(FeedAll(Bytes("0500686AF13F")).value(0), matchText), matches);
        QVERIFY(!PacketMatches("--> ", matchText)); // a line without bytes never matches
    }
};

QTEST_MAIN(TestPacketAssembler)
#include "test_packetassembler.moc"
