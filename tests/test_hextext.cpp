#include "protocol/hextext.h"
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Renders bytes the way the tests write them: "05 0A".
QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

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
            const QString text = ByteText(b);
            QCOMPARE(text.size(), 3);
            QCOMPARE(text, QString::number(b, 16).toUpper().rightJustified(2, '0') + ' ');
            QCOMPARE(HexToByte(text, post), b);
        }
        QCOMPARE(lines, QStringList());
    }

    void hexToByteReadsTwoCharactersAndReportsBadOnes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QStringList>("posted");
        QTest::newRow("upper case") << "F1" << 0xF1 << QStringList();
        QTest::newRow("lower case is not a digit") << "0a" << 0x00 << QStringList{"Nib0 not valid: 61"};
        QTest::newRow("one digit") << "7" << 0x70 << QStringList{"Nib0 not valid: 20"};
        QTest::newRow("rest ignored") << "1234" << 0x12 << QStringList();
        QTest::newRow("empty") << "" << 0 << QStringList{"Nib1 not valid: 20", "Nib0 not valid: 20"};
        QTest::newRow("bad first") << "G5" << 0x05 << QStringList{"Nib1 not valid: 47"};
        QTest::newRow("bad second") << "5G" << 0x50 << QStringList{"Nib0 not valid: 47"};
        QTest::newRow("both bad, first line first") << "GG" << 0 << QStringList{"Nib1 not valid: 47", "Nib0 not valid: 47"};
        QTest::newRow("tab") << "\t1" << 0x01 << QStringList{"Nib1 not valid: 9"};
        QTest::newRow("latin-1") << QString::fromUtf8("\xC3\xA9" "5") << 0x05 << QStringList{"Nib1 not valid: E9"};
        QTest::newRow("above 255") << QString::fromUtf8("5\xE2\x82\xAC") << 0x50 << QStringList{"Nib0 not valid: 20AC"};
        QTest::newRow("outside the BMP is one character")
            << QString::fromUtf8("\xF0\x9F\x98\x80" "A") << 0x0A << QStringList{"Nib1 not valid: 1F600"};
        QTest::newRow("fullwidth digit") << QString::fromUtf8("\xEF\xBC\x91" "1") << 0x01 << QStringList{"Nib1 not valid: FF11"};
    }

    void hexToByteReadsTwoCharactersAndReportsBadOnes()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        QFETCH(QStringList, posted);
        QCOMPARE(HexToByte(text, post), byte);
        QCOMPARE(lines, posted);
    }

    void normalisingTrimsSpacesOnlyAndAppendsOne_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("plain") << "05 00 68 6A F1 3F" << "05 00 68 6A F1 3F ";
        QTest::newRow("outer spaces") << "  05 00  " << "05 00 ";
        QTest::newRow("lower case") << "0a ff" << "0A FF ";
        QTest::newRow("tabs stay") << "\t05\t " << "\t05\t ";
        QTest::newRow("inner spaces stay") << "05  00" << "05  00 ";
        QTest::newRow("empty") << "" << " ";
        QTest::newRow("spaces only") << "   " << " ";
    }

    void normalisingTrimsSpacesOnlyAndAppendsOne()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalised);
        QCOMPARE(NormaliseCommandText(text), normalised);
    }

    void commandTextParsesTokenByToken_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("posted");
        const QString error = "Error in command string.";
        QTest::newRow("default match text") << "05 00 68 6A F1 3F" << "05 00 68 6A F1 3F" << QStringList();
        QTest::newRow("lower case") << "0a ff" << "0A FF" << QStringList();
        QTest::newRow("one-character tokens") << "5 A" << "05 0A" << QStringList();
        QTest::newRow("outer spaces") << "  05 00  " << "05 00" << QStringList();
        QTest::newRow("comma") << "05,00" << "" << QStringList{error};
        QTest::newRow("three-digit token") << "05 123 44" << "05" << QStringList{error};
        QTest::newRow("two spaces, two digits") << "05  00" << "05" << QStringList{error};
        QTest::newRow("two spaces, one digit") << "05  0" << "05 00" << QStringList{"Nib1 not valid: 20"};
        QTest::newRow("spaces only") << "    " << "" << QStringList{error};
        QTest::newRow("empty") << "" << "" << QStringList{error};
        QTest::newRow("bad first nibble") << "G5" << "05" << QStringList{"Nib1 not valid: 47"};
        QTest::newRow("bad second nibble") << "5G" << "50" << QStringList{"Nib0 not valid: 47"};
        QTest::newRow("both bad") << "GG" << "00" << QStringList{"Nib1 not valid: 47", "Nib0 not valid: 47"};
        QTest::newRow("tab separator") << "05\t00" << "" << QStringList{error};
        QTest::newRow("bad nibble before error keeps order")
            << "G1 02 345" << "01 02" << QStringList{"Nib1 not valid: 47", error};
        QTest::newRow("non-ascii token") << QString::fromUtf8("\xE2\x82\xAC 1") << "00 01" << QStringList{"Nib0 not valid: 20AC"};
    }

    void commandTextParsesTokenByToken()
    {
        QFETCH(QString, typed);
        QFETCH(QString, bytes);
        QFETCH(QStringList, posted);
        const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(typed), 260, post);
        QVERIFY(!parsed.tooLong);
        QCOMPARE(Hex(parsed.bytes), bytes);
        QCOMPARE(lines, posted);
    }

    void theTokeniserNeedsItsTrailingSpace()
    {
        // Un-normalised text: the last token has no space after it.
        QCOMPARE(Hex(ParseCommandText("05 00", 260, post).bytes), QString("05"));
        QCOMPARE(lines, QStringList{"Error in command string."});
    }

    void capacityIsNeverExceeded_data()
    {
        QTest::addColumn<int>("tokens");
        QTest::addColumn<int>("capacity");
        QTest::newRow("command full") << 260 << 260;
        QTest::newRow("command one over") << 261 << 260;
        QTest::newRow("command far over") << 5000 << 260;
        QTest::newRow("script line full") << 4097 << 4097;
        QTest::newRow("script line one over") << 4098 << 4097;
    }

    void capacityIsNeverExceeded()
    {
        QFETCH(int, tokens);
        QFETCH(int, capacity);
        // Bad digits: a refused command must not post a Nib line for every token.
        QStringList text;
        for (int i = 0; i < tokens; ++i)
            text << (i % 2 ? "G" : "1F");
        const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(text.join(' ')), capacity, post);
        const bool over = tokens > capacity;
        QCOMPARE(parsed.tooLong, over);
        QVERIFY(parsed.bytes.size() <= capacity);
        QCOMPARE(parsed.bytes.size(), over ? 0 : tokens);
        QCOMPARE(lines.size(), over ? 0 : tokens / 2);
    }

    void garbageTextNeverCrashesOrOverruns()
    {
        const QRegularExpression known("^(Nib[01] not valid: [0-9A-F]+|Error in command string\\.)$");
        QRandomGenerator random(20240601);
        const QList<char16_t> alphabet = {u' ', u' ', u' ', u'0', u'9', u'A', u'F', u'a', u'G', u'\t', u'\0',
                                          u'\xE9', u'\x20AC', u'\xD83D', u'\xDE00', u'\xFFFF'};
        for (int round = 0; round < 2000; ++round) {
            QString text;
            const int length = random.bounded(round % 100 == 0 ? 3000 : 40);
            for (int i = 0; i < length; ++i)
                text += random.bounded(4) ? QChar(alphabet[random.bounded(alphabet.size())])
                                          : QChar(char16_t(random.bounded(0x10000)));
            const int capacity = random.bounded(1, 300);
            lines.clear();
            const ParsedCommand raw = ParseCommandText(text, capacity, post);
            const ParsedCommand normalised = ParseCommandText(NormaliseCommandText(text), capacity, post);
            QVERIFY(raw.bytes.size() <= capacity);
            QVERIFY(normalised.bytes.size() <= capacity);
            QVERIFY(!normalised.tooLong || normalised.bytes.isEmpty());
            const int byte = HexToByte(text, post);
            QVERIFY(byte >= 0 && byte <= 255);
            for (const QString &line : std::as_const(lines))
                QVERIFY2(known.match(line).hasMatch(), qPrintable(line));
        }
    }
};

QTEST_MAIN(TestHexText)
#include "test_hextext.moc"
