// quillon-run as a test rig runs it, against the device simulator over loopback TCP and
// a pseudo-terminal: what it prints, its exit codes, and its log beside the window's.
#include <QtTest>

#include "realwindow.h"

namespace {
constexpr int WaitMs = 20000; // only bounds a hung test; nothing is timed

const char Script[] = "; runner test\r\nECHO start\r\n05 00 68 6A F1 3F\r\nECHO OFF\r\n02 10 01\r\n"
                      "ECHO ON\r\n11 03 AA BB CC\r\n";
// The match packet is the device's reply to the first command.
const QStringList Answering{"--delay", "200", "--match", "11 06 05 00 68 6A F1 3F", "--reply", "7E 00"};

QString Program(const QString &name) { return QCoreApplication::applicationDirPath() + "/../" + name; }


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
        QFile file(Dir.filePath("test.dwn"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Script) > 0);
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
        QTest::newRow("refused") << "" << "--tcp 127.0.0.1:1 X" << false << 1 << "Ethernet connection failed: ";
        QTest::newRow("refused at first, --reconnect or not") << "" << "--tcp 127.0.0.1:1 --reconnect X" << false << 1
                                                               << "Ethernet connection failed: ";
        QTest::newRow("no serial device") << "" << "--serial X X" << false << 1 << "Error initializing COM port";
        QTest::newRow("no script") << "tcp" << "X" << false << 1 << "Error in starting Script file.";
        QTest::newRow("no log") << "tcp" << "--log X X" << false << 1 << "Log File cancelled.";
        QTest::newRow("timeout") << "pty" << "--timeout 1 --delay 5000 S" << false << 1 << "timed out after 1 s";
        QTest::newRow("peer closed") << "tcp" << "--delay 5000 S" << true << 1 << "Ethernet connection lost: ";
        QTest::newRow("port lost") << "pty" << "--delay 5000 S" << true << 1 << "COM1 lost: the device went away.";
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
        QVERIFY2(Run.readAllStandardError().contains(debug.toLocal8Bit()), qPrintable(debug));
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
            QTRY_VERIFY_WITH_TIMEOUT(w.session.EthernetOpen(), WaitMs);
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
        Finish(QStringList{"--tcp", address, "--log", log} + Answering + QStringList{Dir.filePath("test.dwn")});
        QCOMPARE(Run.exitCode(), 0);
        QCOMPARE(LogLines(log), windowLog);
    }
};

QTEST_MAIN(TestRunner)
#include "test_runner.moc"
