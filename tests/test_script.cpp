// Script files read line by line, each line classified, and the delay box read as ticks.
// The runner itself is driven through the session (test_session).
#include "script/scriptreader.h"
#include <QBuffer>
#include <QFile>
#include <QTest>

class TestScript : public QObject {
    Q_OBJECT
private slots:
    void readerSplitsLinesAtCrLfLoneCrAndLoneLf_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("crlf") << QByteArray("01\r\n02\r\n") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lone cr") << QByteArray("01\r02\r") << QList<QByteArray>{"01", "02"};
        QTest::newRow("lone lf") << QByteArray("01\n02\n") << QList<QByteArray>{"01", "02"};
        QTest::newRow("cr cr lf") << QByteArray("01\r\r\n02") << QList<QByteArray>{"01", "", "02"};
        QTest::newRow("lf cr") << QByteArray("01\n\r02") << QList<QByteArray>{"01", "", "02"};
        QTest::newRow("mixed") << QByteArray("01\r\n\n02\r03\n") << QList<QByteArray>{"01", "", "02", "03"};
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        const QByteArray head(ScriptLineReader::ChunkSize - 1, 'A'), head2 = head.left(head.size() - 1);
        QTest::newRow("crlf across chunks") << head + "\r\nB" << QList<QByteArray>{head, "B"};
        QTest::newRow("cr ends a chunk") << head + "\rB" << QList<QByteArray>{head, "B"};
        QTest::newRow("crlf fills a chunk") << head2 + "\r\n" << QList<QByteArray>{head2};
        QTest::newRow("crlf fills a chunk, more follows") << head2 + "\r\nB" << QList<QByteArray>{head2, "B"};
        QTest::newRow("lf ends a chunk") << head + "\nB" << QList<QByteArray>{head, "B"};
        // A longer line comes back cut; the rest, up to its end, is dropped.
        const QByteArray big(1 << 21, '5'), cut = big.left(ScriptLineReader::MaxLineLength);
        QTest::newRow("2 MB without terminator") << big << QList<QByteArray>{cut};
        QTest::newRow("2 MB, then a line") << big + "\n01" << QList<QByteArray>{cut, "01"};
        QTest::newRow("crlf across chunks of a dropped tail")
            << big.left(2 * ScriptLineReader::ChunkSize - 1) + "\r\n01" << QList<QByteArray>{cut, "01"};
    }
    void readerSplitsLinesAtCrLfLoneCrAndLoneLf()
    {
        QFETCH(QByteArray, content);
        QBuffer file(&content);
        QVERIFY(file.open(QIODevice::ReadOnly));
        ScriptLineReader reader(file);
        QList<QByteArray> lines;
        while (!reader.AtEnd()) {
            if (const auto line = reader.ReadLine())
                lines << *line;
        }
        QTEST(lines, "lines");
    }

    void readerGivesBackAnEndlessLineABitAtATime()
    {
        QFile zero("/dev/zero");
        QVERIFY(zero.open(QIODevice::ReadOnly));
        ScriptLineReader reader(zero);
        QVERIFY(!reader.ReadLine() && !reader.ReadLine() && !reader.AtEnd());
    }

    void readerTreatsAReadErrorAsEndOfFile()
    {
        QFile file(QStringLiteral("/proc/self/mem")); // reading at offset 0 fails with an I/O error
        if (!file.open(QIODevice::ReadOnly))
            QSKIP("needs /proc");
        QVERIFY(ScriptLineReader(file).AtEnd());
    }

    void classifiesEachKindOfLine_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<ScriptLineKind>("kind");
        QTest::addColumn<QString>("text");
        using K = ScriptLineKind;
        QTest::newRow("spaces") << QByteArray("   ") << K::Blank << " ";
        QTest::newRow("tab is kept") << QByteArray(" \t ") << K::Command << "\t";
        QTest::newRow("comment") << QByteArray("  ; start ") << K::Comment << "; START";
        QTest::newRow("echo one") << QByteArray("echo one") << K::EchoOn << "";
        QTest::newRow("fifth character unread") << QByteArray("ECHOXON") << K::EchoOn << "";
        QTest::newRow("echo office") << QByteArray("  Echo Office") << K::EchoOff << "";
        QTest::newRow("echo of") << QByteArray("ECHO OF") << K::EchoText << "OF";
        QTest::newRow("echoes") << QByteArray("ECHOES") << K::EchoText << "ES";
        QTest::newRow("echo text") << QByteArray("echo hello world  ") << K::EchoText << "HELLO WORLD";
        QTest::newRow("command") << QByteArray(" 05 0a ff ") << K::Command << "05 0A FF";
    }
    void classifiesEachKindOfLine()
    {
        QFETCH(QByteArray, raw);
        const ScriptLine line = ClassifyScriptLine(raw);
        QTEST(line.kind, "kind");
        QTEST(line.text, "text");
    }

    void delayBoxSetsTheTicksBetweenCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ticks");
        QTest::newRow("2") << "2" << 0;
        QTest::newRow("3") << "3" << 1;
        QTest::newRow("2.5 ticks to even 2") << "12.5" << 2;
        QTest::newRow("7.5 ticks to even 8") << "37.5" << 8;
        QTest::newRow("blanks and junk") << " \t1 5ms" << 3;
        QTest::newRow("second point stops") << "+10.0.5" << 2;
        QTest::newRow("negative") << "-500" << 0;
        QTest::newRow("rounds past the limit") << "163838" << 32767;
        QTest::newRow("huge") << QString(400, QLatin1Char('9')) << 32767;
        QTest::newRow("long fraction") << "12." + QString(400, QLatin1Char('4')) << 2;
    }
    void delayBoxSetsTheTicksBetweenCommands()
    {
        QFETCH(QString, text);
        QTEST(ScriptDelayTicks(text), "ticks");
    }
};

QTEST_GUILESS_MAIN(TestScript)
#include "test_script.moc"
