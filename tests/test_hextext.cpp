// Hex text to bytes: two characters to one byte, and a command token by token. Text no
// one would type is left to the fuzz target, the capacities of a command and a script
// line to test_session.
#include "protocol/hextext.h"
#include <QtTest>

class TestHexText : public QObject {
    Q_OBJECT
private slots:
    void hexTextGivesItsBytesAndReportsBadOnes_data()
    {
        QTest::addColumn<bool>("command"); // a command, else two characters to one byte
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("posted");
        const QString error = "Error in command string.";
        QTest::newRow("byte: lower case is not a digit") << false << "0a" << "00" << QStringList{"Nib0 not valid: 61"};
        QTest::newRow("byte: one digit") << false << "7" << "70" << QStringList{"Nib0 not valid: 20"};
        QTest::newRow("byte: rest ignored") << false << "1234" << "12" << QStringList();
        QTest::newRow("byte: empty") << false << "" << "00" << QStringList{"Nib1 not valid: 20", "Nib0 not valid: 20"};
        QTest::newRow("byte: outside the BMP is one character")
            << false << QString::fromUtf8("\xF0\x9F\x98\x80" "A") << "0A" << QStringList{"Nib1 not valid: 1F600"};
        QTest::newRow("default match text") << true << "05 00 68 6A F1 3F" << "05 00 68 6A F1 3F" << QStringList();
        QTest::newRow("lower case, outer spaces") << true << "  0a ff  " << "0A FF" << QStringList();
        QTest::newRow("one-character tokens") << true << "5 A" << "05 0A" << QStringList();
        // Any bad token refuses the whole command: its lines, then this one, and no byte.
        const QString notSent = "Command not sent.";
        QTest::newRow("outer tabs are not trimmed") << true << "\t05\t" << "" << QStringList{error, notSent};
        QTest::newRow("comma separator") << true << "05,00" << "" << QStringList{error, notSent};
        QTest::newRow("three-digit token") << true << "05 123 44" << "" << QStringList{error, notSent};
        QTest::newRow("two spaces, two digits") << true << "05  00" << "" << QStringList{error, notSent};
        QTest::newRow("two spaces, one digit") << true << "05  0" << "" << QStringList{"Nib1 not valid: 20", notSent};
        QTest::newRow("spaces only") << true << "   " << "" << QStringList{error, notSent};
        QTest::newRow("empty") << true << "" << "" << QStringList{error, notSent};
        QTest::newRow("bad first nibble") << true << "G5" << "" << QStringList{"Nib1 not valid: 47", notSent};
        QTest::newRow("bad second nibble after good bytes") << true << "01 02 5G" << "" << QStringList{"Nib0 not valid: 47", notSent};
        QTest::newRow("both nibbles bad, first first") << true << "GG" << "" << QStringList{"Nib1 not valid: 47", "Nib0 not valid: 47", notSent};
        QTest::newRow("bad nibble before error keeps order") << true << "G1 02 345" << "" << QStringList{"Nib1 not valid: 47", error, notSent};
        QTest::newRow("non-ascii token") << true << QString::fromUtf8("\xE2\x82\xAC 1") << "" << QStringList{"Nib0 not valid: 20AC", notSent};
    }
    void hexTextGivesItsBytesAndReportsBadOnes()
    {
        QFETCH(bool, command);
        QFETCH(QString, typed);
        QStringList posted;
        const PostMsg post = [&](const QString &line) { posted << line; };
        const ParsedCommand parsed = command ? ParseCommandText(NormaliseCommandText(typed), 260, post)
                                             : ParsedCommand{QByteArray(1, char(HexToByte(typed, post)))};
        QTEST(QString::fromLatin1(parsed.bytes.toHex(' ').toUpper()), "bytes");
        QTEST(posted, "posted");
    }
};

QTEST_GUILESS_MAIN(TestHexText)
#include "test_hextext.moc"
