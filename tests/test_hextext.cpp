#include "protocol/hextext.h"
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

class TestHexText : public QObject
{
    Q_OBJECT

    QStringList lines;
    PostMsg post = [this](const QString &line) { lines << line; };

private slots:
    void init() { lines.clear(); }

    void everyByteSurvivesTheRoundTripThroughByteText()
    {
        for (int b = 0; b < 256; ++b) {
            QCOMPARE(ByteText(b), QString::number(b, 16).toUpper().rightJustified(2, '0') + ' ');
            QCOMPARE(HexToByte(ByteText(b), post), b);
        }
        QCOMPARE(lines, QStringList());
    }

    void hexToByteReadsTwoCharactersAndReportsBadOnes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QStringList>("posted");
        QTest::newRow("lower case is not a digit") << "0a" << 0x00 << QStringList{"Nib0 not valid: 61"};
        QTest::newRow("one digit") << "7" << 0x70 << QStringList{"Nib0 not valid: 20"};
        QTest::newRow("rest ignored") << "1234" << 0x12 << QStringList();
        QTest::newRow("empty") << "" << 0 << QStringList{"Nib1 not valid: 20", "Nib0 not valid: 20"};
        QTest::newRow("outside the BMP is one character")
            << QString::fromUtf8("\xF0\x9F\x98\x80" "A") << 0x0A << QStringList{"Nib1 not valid: 1F600"};
    }

    void hexToByteReadsTwoCharactersAndReportsBadOnes()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        QFETCH(QStringList, posted);
        QCOMPARE(HexToByte(text, post), byte);
        QCOMPARE(lines, posted);
    }

    void commandTextParsesTokenByToken_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("posted");
        const QString error = "Error in command string.";
        QTest::newRow("default match text") << "05 00 68 6A F1 3F" << "05 00 68 6A F1 3F" << QStringList();
        QTest::newRow("lower case, outer spaces") << "  0a ff  " << "0A FF" << QStringList();
        QTest::newRow("one-character tokens") << "5 A" << "05 0A" << QStringList();
        QTest::newRow("outer tabs are not trimmed") << "\t05\t" << "" << QStringList{error};
        QTest::newRow("three-digit token") << "05 123 44" << "05" << QStringList{error};
        QTest::newRow("two spaces, two digits") << "05  00" << "05" << QStringList{error};
        QTest::newRow("two spaces, one digit") << "05  0" << "05 00" << QStringList{"Nib1 not valid: 20"};
        QTest::newRow("empty") << "" << "" << QStringList{error};
        QTest::newRow("both nibbles bad, first first") << "GG" << "00" << QStringList{"Nib1 not valid: 47", "Nib0 not valid: 47"};
        QTest::newRow("bad nibble before error keeps order") << "G1 02 345" << "01 02" << QStringList{"Nib1 not valid: 47", error};
        QTest::newRow("non-ascii token") << QString::fromUtf8("\xE2\x82\xAC 1") << "00 01" << QStringList{"Nib0 not valid: 20AC"};
    }

    void commandTextParsesTokenByToken()
    {
        QFETCH(QString, typed);
        QFETCH(QString, bytes);
        QFETCH(QStringList, posted);
        const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(typed), 260, post);
        QVERIFY(!parsed.tooLong);
        QCOMPARE(QString::fromLatin1(parsed.bytes.toHex(' ').toUpper()), bytes);
        QCOMPARE(lines, posted);
    }

    void commandsAndScriptLinesOverCapacityAreRefusedWhole()
    {
        for (const auto &[tokens, capacity] : {std::pair{260, 260}, {261, 260}, {4097, 4097}, {4098, 4097}}) {
            // Bad digits: a refused command must not post a Nib line for every token.
            const QString text = QString("1F G ").repeated(tokens / 2) + (tokens % 2 ? "1F" : "");
            lines.clear();
            const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(text), capacity, post);
            const bool over = tokens > capacity;
            QCOMPARE(parsed.tooLong, over);
            QCOMPARE(parsed.bytes.size(), over ? 0 : tokens);
            QCOMPARE(lines.size(), over ? 0 : tokens / 2);
        }
    }

    void garbageTextNeverCrashesOrOverruns()
    {
        const QRegularExpression known("^(Nib[01] not valid: [0-9A-F]+|Error in command string\\.)$");
        QRandomGenerator random(20240601);
        const QString alphabet = QStringView(u"   09AFaG\t\xE9\x20AC\xD83D\xDE00\xFFFF").toString() + QChar(0);
        for (int round = 0; round < 2000; ++round) {
            QString text;
            for (int i = random.bounded(round % 100 == 0 ? 3000 : 40); i > 0; --i)
                text += random.bounded(4) ? alphabet[random.bounded(alphabet.size())] : QChar(char16_t(random.bounded(0x10000)));
            const int capacity = random.bounded(1, 300);
            lines.clear();
            for (const QString &input : {text, NormaliseCommandText(text)}) {
                const ParsedCommand parsed = ParseCommandText(input, capacity, post);
                QVERIFY(parsed.bytes.size() <= capacity && (!parsed.tooLong || parsed.bytes.isEmpty()));
            }
            const int byte = HexToByte(text, post);
            QVERIFY(byte >= 0 && byte <= 255);
            for (const QString &line : std::as_const(lines))
                QVERIFY2(known.match(line).hasMatch(), qPrintable(line));
        }
    }
};

QTEST_MAIN(TestHexText)
#include "test_hextext.moc"
