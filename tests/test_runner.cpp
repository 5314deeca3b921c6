// quillon-run as a test rig runs it, against the device simulator over loopback TCP and
// a pseudo-terminal: what it prints, its exit codes, its log beside the window's, and its
// verdict on expected transcripts with the JUnit report.
#include <QtTest>

#include "realwindow.h"
#include "run/transcript.h"

namespace {
constexpr int WaitMs = 20000; // only bounds a hung test; nothing is timed

const char Script[] = "; runner test\r\nECHO start\r\n05 00 68 6A F1 3F\r\nECHO OFF\r\n02 10 01\r\n"
                      "ECHO ON\r\n11 03 AA BB CC\r\n";
// The match packet is the device's reply to the first command.
const QStringList Answering{"--delay", "200", "--match", "11 06 05 00 68 6A F1 3F", "--reply", "7E 00"};

QString Program(const QString &name) { return QCoreApplication::applicationDirPath() + "/../" + name; }

bool WriteFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Without the Date and Time lines of the header.
QByteArrayList LogLines(const QString &path)
{
    QFile file(path);
    QByteArrayList lines = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
    lines.removeIf([](const QByteArray &line) { return line.startsWith("Date:") || line.startsWith("Time:"); });
    return lines;
}
}

class TestRunner : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    std::unique_ptr<QProcess> Device;
    QProcess Run;

    // --tcp or --serial and where the simulator plays the device of link ("tcp", "pty").
    QStringList Link(const QString &link, const QStringList &more = {})
    {
        Device = std::make_unique<QProcess>();
        const bool tcp = link == "tcp";
        Device->start(Program("bench/quillon-device"), QStringList{tcp ? "--tcp" : "--pty", "--port", "0"} + more);
        while (!Device->canReadLine() && Device->waitForReadyRead(WaitMs)) {}
        const QString where = QString::fromLocal8Bit(Device->readLine()).trimmed().section("Device on ", 1);
        return tcp ? QStringList{"--tcp", where} : QStringList{"--serial", where, "--speed", "115200"};
    }
    // Runs quillon-run to its end; with pull, the device goes away once the first command is out.
    QStringList Finish(const QStringList &arguments, bool pull = false)
    {
        Run.start(Program("quillon-run"), arguments);
        QByteArray out;
        while (pull && !out.contains("<<- 05") && Run.waitForReadyRead(WaitMs))
            out += Run.readAllStandardOutput();
        if (pull)
            cleanup();
        if (!Run.waitForFinished(WaitMs))
            Run.kill();
        return QString::fromLocal8Bit(out + Run.readAllStandardOutput()).split('\n');
    }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteFile(Dir.filePath("test.dwn"), Script));
        Run.setWorkingDirectory(Dir.path());
    }
    void cleanup() { Device.reset(); } // killed and waited for

    void printsWhatTheWindowShowsOverEitherLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("key");
        QTest::newRow("tcp") << "tcp" << QStringList();
        QTest::newRow("pty, key 5A on both ends") << "pty" << QStringList{"--key", "5A"};
    }
    void printsWhatTheWindowShowsOverEitherLink()
    {
        QFETCH(QString, link);
        QFETCH(QStringList, key);
        QStringList expected{"; RUNNER TEST", "START", "<<- 05 00 68 6A F1 3F ", "--> 11 06 05 00 68 6A F1 3F ",
                             "<-- 7E 00 ", "--> 11 02 7E 00 ", "<<- 11 03 AA BB CC ",
                             "--> 11 05 11 03 AA BB CC ", ""}; // "" after the last line's end
        if (link == "pty")
            expected.prepend("COM port initialized and opened.");
        QCOMPARE(Finish(Link(link, key) + key + Answering + QStringList{Dir.filePath("test.dwn")}), expected);
        QCOMPARE(Run.exitCode(), 0);
    }

    // Arguments: X stands for a missing file, S for the test script.
    void exitCodes_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("pull");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("debug");
        QTest::newRow("no link") << "" << "X" << false << 2 << "give --tcp HOST:PORT or --serial DEVICE";
        QTest::newRow("odd speed") << "" << "--serial X --speed 4800 X" << false << 2 << "--speed takes";
        QTest::newRow("match alone") << "" << "--tcp 127.0.0.1:1 --match 01 X" << false << 2 << "go together";
        QTest::newRow("refused") << "" << "--tcp 127.0.0.1:1 S" << false << 1 << "Ethernet connection failed: ";
        QTest::newRow("refused at first, --reconnect or not") << "" << "--tcp 127.0.0.1:1 --reconnect S" << false << 1
                                                               << "Ethernet connection failed: ";
        QTest::newRow("expect, two scripts") << "" << "--tcp 127.0.0.1:1 --expect X S S" << false << 2 << "--expect goes with one";
        QTest::newRow("no serial device") << "" << "--serial X S" << false << 1
                                          << "quillon-run: cannot open serial device /\\S+/x.dwn: no such port.+ \\(code 1\\)";
        // Said first: before the link opens.
        QTest::newRow("no script") << "tcp" << "X" << false << 1
                                   << "^quillon-run: cannot open script /\\S+/x.dwn: No such file or directory\n";
        QTest::newRow("no log") << "tcp" << "--log X S" << false << 1
                                << "quillon-run: cannot open log /\\S+/x.dwn: No such file or directory";
        QTest::newRow("timeout") << "pty" << "--timeout 1 --delay 5000 S" << false << 1 << "timed out after 1 s";
        QTest::newRow("peer closed, the next script not run") << "tcp" << "--delay 5000 S S" << true << 1
                                    << "test.dwn: not run: Ethernet connection lost: ";
        QTest::newRow("port lost") << "pty" << "--delay 5000 S" << true << 1 << "COM1 lost: the device went away.";
        QTest::newRow("no bench file") << "" << "--bench X S" << false << 2 << "quillon-run: bench file not opened: ";
    }
    void exitCodes()
    {
        QFETCH(QString, link);
        QFETCH(QString, arguments);
        QFETCH(bool, pull);
        QFETCH(int, code);
        QFETCH(QString, debug);
        QStringList words = arguments.split(' ');
        words.replaceInStrings(QRegularExpression("^X$"), Dir.filePath("no-such-dir/x.dwn"));
        words.replaceInStrings(QRegularExpression("^S$"), Dir.filePath("test.dwn"));
        Finish((link.isEmpty() ? QStringList() : Link(link)) + words, pull);
        QCOMPARE(Run.exitCode(), code);
        const QString errors = QString::fromLocal8Bit(Run.readAllStandardError());
        QVERIFY2(errors.contains(QRegularExpression(debug)), qPrintable(errors));
    }

    // The link, key, delay, match reply and a delayed answer from the bench file, against the
    // simulator under the key; an option given wins over the file.
    void benchFileSetsTheRunAndOptionsOverrideIt()
    {
        const QString where = Link("tcp", {"--key", "5A"})[1];
        QFile bench(Dir.filePath("test.qbench"));
        QVERIFY(bench.open(QIODevice::WriteOnly));
        bench.write(QString(R"({"link": {"transport": "ethernet", "address": "127.0.0.1", "port": %1}, "key": "5A",
                               "match": "11 06 05 00 68 6A F1 3F", "command": "7E 00", "scriptDelay": 200,
                               "answers": [{"when": "11 02 7E ??", "reply": "AB", "delayMs": 100}]})")
                        .arg(where.section(':', 1)).toLatin1());
        bench.close();
        const QStringList out = Finish({"--bench", bench.fileName(), "--reply", "7E 01", Dir.filePath("test.dwn")});
        QCOMPARE(Run.exitCode(), 0);
        QCOMPARE(out.mid(2, 6), (QStringList{"<<- 05 00 68 6A F1 3F ", "--> 11 06 05 00 68 6A F1 3F ", "<-- 7E 01 ",
                                             "--> 11 02 7E 01 ", "<-- AB ", "--> 11 01 AB "}));
    }

    // With --reconnect the device closing the link every 700 ms pauses the script, which
    // goes on once the link is back: each command goes out once, in order.
    void reconnectWaitsForTheLinkAndGoesOnWithTheScript()
    {
        QFile script(Dir.filePath("six.dwn"));
        QStringList commands;
        for (int i = 1; i <= 6; ++i)
            commands << QString("<<- 01 0%1 ").arg(i);
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(commands.join("\r\n").remove("<<- ").toLatin1()) > 0);
        script.close();
        const QStringList out = Finish(Link("tcp", {"--drop-every", "700"}) + QStringList{"--reconnect", "--delay", "150", script.fileName()});
        QCOMPARE(out.filter("<<- "), commands);
        QCOMPARE(Run.exitCode(), 0);
        const QString debug = Run.readAllStandardError();
        QVERIFY2(debug.contains("Reconnected to 127.0.0.1:") && !debug.contains("Error"), qPrintable(debug));
    }

    // The window, as main() builds it and a user drives it, and the runner write the same log.
    void logIsTheWindowsLog()
    {
        const QString log = Dir.filePath("run.log");
        const QString address = Link("tcp")[1];
        {
            RealWindow w;
            Type(w->Text7, "200");
            Type(w->MatchMsg, Answering[3]);
            Type(w->Text5, Answering[5]);
            QVERIFY(w.OpenLog(log));
            QVERIFY(w.Open({"DataPipeSelect2", "PortNumber=" + address.section(':', 1), "IPAddress=127.0.0.1"}));
            QTRY_VERIFY_WITH_TIMEOUT(w->Text3->text().startsWith("Ethernet IP address"), WaitMs);
            w.files.Answers << Dir.filePath("test.dwn");
            w.Press("SelectScriptFile");
            w.Press("SendScriptFile");
            QTRY_COMPARE_WITH_TIMEOUT(w->Text8->text(), QString("Completed."), WaitMs);
            QTest::qWait(200); // as the runner's --wait
            w.Press("AbortProgram");
        }
        const QByteArrayList windowLog = LogLines(log);
        QVERIFY(windowLog.contains("--> 11 03 02 10 01 \r") && windowLog.contains("### Script file completed.\r"));
        QVERIFY(QFile::remove(log));
        // Named as the working folder sees it, headed as the window heads it: whole.
        Finish(QStringList{"--tcp", address, "--log", "run.log"} + Answering + QStringList{Dir.filePath("test.dwn")});
        QCOMPARE(Run.exitCode(), 0);
        QCOMPARE(LogLines(log), windowLog);
    }

    // Expected lines against the lines that came; where the first mismatch is reported
    // ("expected line, transcript line"), empty for a match.
    void transcriptComparison_data()
    {
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("came");
        QTest::addColumn<QString>("mismatch");
        const QStringList abc{"<<- 0A ", "--> 11 01 0A ", "DONE"};
        QTest::newRow("the same") << abc << abc << "";
        QTest::newRow("nothing, nothing") << QStringList() << QStringList() << "";
        QTest::newRow("?? any byte") << QStringList{"<<- ?? ", "--> 11 ?? ?? ", "DONE"} << abc << "";
        QTest::newRow("?? one byte only") << QStringList{"<<- 0A ", "--> 11 ?? ", "DONE"} << abc << "2 2";
        QTest::newRow("?? a byte, not text") << QStringList{"D??E"} << QStringList{"DONE"} << "1 1";
        QTest::newRow("... at the start") << QStringList{"...", "DONE"} << abc << "";
        QTest::newRow("... in the middle") << QStringList{"<<- 0A ", "...", "DONE"} << abc << "";
        QTest::newRow("... at the end") << QStringList{"<<- 0A ", "..."} << abc << "";
        QTest::newRow("... for no line") << QStringList{"...", "<<- 0A ", "...", "--> 11 01 0A ", "DONE", "..."} << abc << "";
        QTest::newRow("... then a wrong line") << QStringList{"...", "--> 11 01 0A ", "DONE."} << abc << "3 3";
        QTest::newRow("... then a line that never came") << QStringList{"<<- 0A ", "...", "END"} << abc << "3 4";
        QTest::newRow("an extra line") << abc.mid(0, 2) << abc << "3 3";
        QTest::newRow("a missing line") << abc << abc.mid(0, 2) << "3 3";
        QTest::newRow("a line without its trailing space") << QStringList{"<<- 0A", "..."} << abc << "1 1";
    }
    void transcriptComparison()
    {
        QFETCH(QStringList, expected);
        QFETCH(QStringList, came);
        QFETCH(QString, mismatch);
        const std::optional<TranscriptMismatch> m = ExpectedTranscript(expected).Compare(came);
        QCOMPARE(m ? QString("%1 %2").arg(m->expectedLine).arg(m->actualLine) : QString(), mismatch);
    }

    // A transcript recorded, then compared: a run that passes; then three scripts in one
    // run: one missing, one that matches, one whose transcript differs; and the JUnit
    // report of it read back.
    void scriptsAgainstTheirTranscripts()
    {
        const QString good = Dir.filePath("good.dwn");
        // Any character in a name, any byte in a line: the report must stay well-formed.
        const QString bad = Dir.filePath("bad <&\x01>.dwn");
        QVERIFY(WriteFile(good, "01 02 03\r\n") && WriteFile(bad, "ECHO <&\x02]]>\r\n04 05\r\n"));
        QVERIFY(WriteFile(Dir.filePath("bad <&\x01>.expect"), "...\n<<- 04 05 \n--> 11 02 04 06 \n"));
        const QStringList tcp = Link("tcp") + QStringList{"--delay", "50"};

        Finish(tcp + QStringList{"--record", good});
        QCOMPARE(Run.exitCode(), 0);
        QFile recorded(Dir.filePath("good.expect"));
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(recorded.readAll(), "<<- 01 02 03 \n--> 11 03 01 02 03 \n");
        Finish(tcp + QStringList{"--timestamps", good}); // compared without them
        QCOMPARE(Run.exitCode(), 0);
        QVERIFY(!Run.readAllStandardError().contains("quillon-run:"));

        const QString report = Dir.filePath("report.xml");
        const QString missing = Dir.filePath("missing.dwn");
        Finish(tcp + QStringList{"--junit", report, missing, good, bad});
        QCOMPARE(Run.exitCode(), 1);
        const QString mismatch = bad + ": line 3 of the transcript differs from line 3 of " +
                                 Dir.filePath("bad <&\x01>.expect");
        const QString errors = QString::fromLocal8Bit(Run.readAllStandardError());
        QVERIFY2(errors.contains("quillon-run: " + mismatch + "\n  expected: \"--> 11 02 04 06 \"\n"
                                 "  came:     \"--> 11 02 04 05 \"\n"), qPrintable(errors));
        QVERIFY2(errors.startsWith("quillon-run: cannot open script " + missing + ": No such file or directory\n"),
                 qPrintable(errors));
        QVERIFY2(errors.contains("quillon-run: 1 of 3 scripts passed."), qPrintable(errors));

        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList seen; // element: what it says
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            const QString name = xml.name().toString();
            if (name == "testsuite")
                seen << QString("testsuite %1 tests, %2 failed").arg(a.value("tests"), a.value("failures"));
            else if (name == "testcase")
                seen << "testcase " + a.value("name").toString();
            else if (name == "failure")
                seen << "failure " + a.value("message").toString();
            else if (name == "system-out")
                seen << "out " + xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QString shownBad = QString(bad).replace('\x01', QChar::ReplacementCharacter);
        QCOMPARE(seen, QStringList({"testsuite 3 tests, 2 failed", "testcase " + missing,
                                    "failure cannot open script " + missing + ": No such file or directory", "out ",
                                    "testcase " + good,
                                    "out <<- 01 02 03 \n--> 11 03 01 02 03 \n", "testcase " + shownBad,
                                    "failure " + QString(mismatch).replace('\x01', QChar::ReplacementCharacter),
                                    "out <&\uFFFD]]>\n<<- 04 05 \n--> 11 02 04 05 \n"}));
    }
};

QTEST_MAIN(TestRunner)
#include "test_runner.moc"
