// Bench files as plain files: written as the golden file has it and read back the same,
// refused whole with the reason, unknown fields passed over by name.
#include <QtTest>

#include "app/benchfile.h"

namespace {
// Every setting away from its default.
Bench Full()
{
    Bench bench;
    bench.transport = "ethernet";
    bench.address = "127.0.0.1";
    bench.port = 10002;
    bench.com = 3;
    bench.device = "/dev/pts/7";
    bench.speed = 115200;
    bench.key = "5A";
    bench.match = "11 06 05 00 68 6A F1 3F";
    bench.command = "7E 00";
    bench.scriptDelay = 200;
    bench.timestamps = true;
    bench.reconnect = true;
    bench.answers = {{true, "11 03 ?? 00 10", "7E 00", 0}, {false, "11 02 7E ??", "AB", 250}};
    bench.commands = {{"Wake up", "05 00 68 6A F1 3F"}, {"Status", "02 10 01"}};
    return bench;
}
}

class TestBenchFile : public QObject {
    Q_OBJECT
private slots:
    void writesTheGoldenFileAndReadsItBack()
    {
        QFile golden(QFINDTESTDATA("golden/full.qbench"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QByteArray expected = golden.readAll();
        QTemporaryDir dir;
        const QString path = dir.filePath("full.qbench");
        QCOMPARE(WriteBenchFile(path, Full()), QString());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
        const BenchRead read = ReadBenchFile(golden.fileName());
        QVERIFY(read.error.isEmpty() && read.ignored.isEmpty());
        QCOMPARE(WriteBench(read.bench), expected);
    }

    void refusesWhatItCannotReadWithTheReason_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::newRow("broken JSON: line and column") << QByteArray("{\n  \"key\": \"5A\"\n  \"match\": \"\"\n}")
                                                      << "line 3, column 4: unterminated object";
        QTest::newRow("not an object") << QByteArray("[1]") << "not a bench file: it must be one object in { }";
        QTest::newRow("another version") << QByteArray(R"({"quillon-bench": 2})")
                                         << "\"quillon-bench\" must be 1, the version this Quillon reads";
        QTest::newRow("port out of range") << QByteArray(R"({"link": {"port": 70000}})")
                                           << "\"link.port\" must be a whole number from 1 to 65535";
        QTest::newRow("port not whole") << QByteArray(R"({"link": {"port": 1.5}})")
                                        << "\"link.port\" must be a whole number from 1 to 65535";
        QTest::newRow("odd speed") << QByteArray(R"({"link": {"speed": 4800}})")
                                   << "\"link.speed\" must be 9600, 19200, 38400, 57600 or 115200";
        QTest::newRow("speed as text") << QByteArray(R"({"link": {"speed": "9600"}})")
                                       << "\"link.speed\" must be 9600, 19200, 38400, 57600 or 115200";
        QTest::newRow("transport") << QByteArray(R"({"link": {"transport": "usb"}})")
                                   << "\"link.transport\" must be \"serial\" or \"ethernet\"";
        QTest::newRow("link not an object") << QByteArray(R"({"link": "COM1"})") << "\"link\" must be an object in { }";
        QTest::newRow("key of one digit") << QByteArray(R"({"key": "5"})") << "\"key\" must be two hex digits, e.g. \"5A\"";
        QTest::newRow("match not a text") << QByteArray(R"({"match": 5})") << "\"match\" must be a text in double quotes";
        QTest::newRow("timestamps") << QByteArray(R"({"timestamps": "yes"})") << "\"timestamps\" must be true or false";
        QTest::newRow("script delay") << QByteArray(R"({"scriptDelay": -1})")
                                      << "\"scriptDelay\" must be a whole number from 0 to 163835";
        QTest::newRow("answers not a list") << QByteArray(R"({"answers": {}})") << "\"answers\" must be a list in [ ]";
        QTest::newRow("an answer's delay") << QByteArray(R"({"answers": [{}, {"delayMs": 600001}]})")
                                           << "\"answers[1].delayMs\" must be a whole number from 0 to 600000";
        QTest::newRow("a command not an object") << QByteArray(R"({"commands": ["01"]})")
                                                 << "\"commands[0]\" must be an object in { }";
    }
    void refusesWhatItCannotReadWithTheReason()
    {
        QFETCH(QByteArray, json);
        const BenchRead read = ReadBench(json);
        QTEST(read.error, "error");
        QCOMPARE(WriteBench(read.bench), WriteBench(Bench())); // nothing of it taken
    }

    // A missing field keeps the start-up default, so newer files still open.
    void passesOverUnknownFieldsAndKeepsDefaults()
    {
        const BenchRead read = ReadBench(R"({"colour": 1, "link": {"port": 2, "parity": "none"},
                                             "answers": [{"when": "01", "note": ""}]})");
        QVERIFY(read.error.isEmpty());
        QCOMPARE(read.ignored, (QStringList{"answers[0].note", "colour", "link.parity"}));
        Bench expected;
        expected.port = 2;
        expected.answers = {{true, "01", "", 0}};
        QCOMPARE(WriteBench(read.bench), WriteBench(expected));
    }

    void aBoxThatHoldsNoNumberIsNotSaved()
    {
        QTemporaryDir dir;
        Bench bench;
        bench.port = 0; // the port box held no number
        QCOMPARE(WriteBenchFile(dir.filePath("b.qbench"), bench), "\"link.port\" must be a whole number from 1 to 65535");
        QVERIFY(!QFile::exists(dir.filePath("b.qbench")));
        QVERIFY(ReadBenchFile(dir.filePath("b.qbench")).error.contains("No such file"));
    }
};

QTEST_GUILESS_MAIN(TestBenchFile)
#include "test_benchfile.moc"
