// The run without windows: a Session over a fake serial driver, a fake socket and a
// file dialog answered in advance, every signal it raises kept in order; and once over
// the real serial driver and socket against the device simulator.
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <optional>
#include <sys/stat.h>

#include "app/session.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "fakefiledialog.h"
#include "fakeserialdriver.h"
#include "fakesocketcontrol.h"

namespace {
QByteArray Hex(const QString &text) { return QByteArray::fromHex(text.toLatin1()); }
QString HexText(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex()); }

// Answer rules written "WHEN => REPLY", joined by " | "; " @MS" after the reply is its
// delay, "off " in front turns the rule off.
QList<AnswerRule> Rules(const QString &text)
{
    QList<AnswerRule> rules;
    for (QString rule : text.split(" | ")) {
        const bool off = rule.startsWith("off ");
        const int delay = rule.contains(" @") ? rule.section(" @", 1).toInt() : 0;
        rule = rule.section(" @", 0, 0).mid(off ? 4 : 0);
        rules.append({!off, rule.section(" => ", 0, 0), rule.section(" => ", 1), delay});
    }
    return rules;
}

// The whole log file, with its date and time masked.
QStringList LogLines(const QString &path)
{
    QFile file(path);
    QStringList lines = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split("\r\n") : QStringList();
    for (int i = 2; i < qMin(4, lines.size()); ++i)
        lines[i].truncate(11);
    return lines;
}
QStringList Header(const QString &path) { return {"*****", "Log File:  " + path, "Date:      ", "Time:      ", "*****", ""}; }

QString WriteScript(const QTemporaryDir &dir, const QByteArray &content)
{
    QFile file(dir.filePath("s.dwn"));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? file.fileName() : QString();
}

// A session as main() starts one. Events holds every signal in order, each marked by
// its kind: D debug, T traffic (X shown as one row), C command text, L link status,
// P partial packet, K key byte, S script status, F script file, Y script delay, G log,
// R reconnect status, A what is wrong with each answer rule (joined by '/').
struct Run {
    FakeSerialDriver driver;
    FakeSocketControl socket;
    FakeFileDialog files;
    Session s{driver, socket};
    QStringList Events;
    QString Nested; // steps to run from the next traffic line's handler
    QString Status; // the script's, as last shown

    Run()
    {
        const std::pair<void (Session::*)(const QString &), const char *> kinds[] = {
            {&Session::DebugLine, "D:"}, {&Session::CommandText, "C:"}, {&Session::LinkStatus, "L:"},
            {&Session::KeyByteText, "K:"}, {&Session::ScriptStatus, "S:"}, {&Session::ScriptPath, "F:"},
            {&Session::ScriptDelayText, "Y:"}, {&Session::LogStatus, "G:"}, {&Session::DebugStatusLine, "R:"}};
        for (const auto &[signal, kind] : kinds)
            QObject::connect(&s, signal, [this, kind = kind](const QString &text) { Events << kind + text; });
        QObject::connect(&s, &Session::PartialPacket, [this](bool on) { Events << (on ? "P:1" : "P:0"); });
        QObject::connect(&s, &Session::ScriptStatus, [this](const QString &text) { Status = text; });
        QObject::connect(&s, &Session::AnswerProblems, [this](const QStringList &problems) { Events << "A:" + problems.join('/'); });
        QObject::connect(&s, &Session::TrafficLine, [this](const QString &line, bool wrap) {
            Events << (wrap ? "T:" : "X:") + line;
            if (Nested.isEmpty())
                return;
            const int before = driver.Calls.size();
            Play(std::exchange(Nested, {}));
            Events << QString("nested: %1 calls").arg(driver.Calls.size() - before);
        });
        s.InitVariables();
        Events.clear();
    }
    QStringList Lines(const QString &kind) const
    {
        return Events.filter(QRegularExpression('^' + kind)).replaceInStrings(QRegularExpression("^.:"), QString());
    }
    QString Last(const QString &kind) const { return Lines(kind).value(Lines(kind).size() - 1); }

    // Steps separated by "; ", each a verb and what follows it.
    void Play(const QString &steps)
    {
        for (const QString &step : steps.split("; ")) {
            const QString verb = step.section(' ', 0, 0), arg = step.mid(verb.size() + 1);
            const QHash<QString, std::function<void()>> verbs = {
                {"pipe", [&] { s.SetDataPipe(qint16(arg.toInt())); }},
                {"port", [&] { s.SetComPort(arg.toInt()); }},
                {"speed", [&] { s.SetComSpeed(qint16(arg.toInt())); }},
                {"serial", [&] { s.InitComPort(); }},
                {"ethernet", [&] { s.SetDataPipe(2), s.InitWinSock(arg.section(' ', 0, 0), arg.section(' ', 1).toInt()); }},
                {"up", [&] { socket.RaiseConnected(); }},
                {"refused", [&] { socket.RaiseConnectFailed(arg); }},
                {"lost", [&] { socket.RaisePeerClosed(arg); }},
                {"answer", [&] { driver.Script[arg.section(' ', 0, 0)] << arg.section(' ', 1).toInt(); }},
                {"tick", [&] { driver.Inbound += Hex(arg), s.tmr1_Timer(10); }},
                {"bytes", [&] { driver.Arrive(Hex(arg)); }},
                {"drained", [&] { QTRY_VERIFY(driver.Inbound.isEmpty()); }},
                {"arrive", [&] { socket.Arrive(Hex(arg.section(' ', 0, 0)), arg.contains(' ') ? arg.section(' ', 1).toLongLong() : -1); }},
                {"send", [&] { s.SetCommandText(arg), s.SendCommand(); }},
                {"command", [&] { s.SetCommandText(arg); }},
                {"match", [&] { s.SetMatchText(arg); }},
                {"answers", [&] { s.SetAnswers(Rules(arg)); }},
                {"key", [&] { s.UpdateKeyByte(arg); }},
                {"flush", [&] { s.CommFlush(); }},
                {"clear", [&] { s.ClearTraffic(); }},
                {"display", [&] { s.ToggleDisplay(); }},
                {"log", [&] { s.SelectLogFile(files.Next()); }},
                {"script", [&] { s.SelectScriptFile(files.Next()); }},
                {"start", [&] { s.SendScriptFile(); }},
                {"abort", [&] { s.AbortScriptFile(); }},
                {"break", [&] { s.SendBreak(); }},
                {"configure", [&] { Events << (s.ConfigureComms() ? QStringList() : QStringList{"refused"}); }},
                {"exit", [&] { Events << (s.QueryUnload() ? QStringList() : QStringList{"refused"}); }},
                {"nested", [&] { Nested = arg; }}, // runs once, from the next traffic line's handler
                {"reconnect", [&] { s.SetReconnect(arg == "on"); }},
                {"due", [&] { s.ReconnectTimer()->Clock_Timer(); }}, // the retry timer's time has come
                {"wait", [&] { Events << QString("wait %1, connects %2").arg(s.ReconnectTimer()->IntervalMs()).arg(socket.ConnectCalls); }},
                {"mark", [&] { Events.clear(), driver.Calls.clear(); }},
                {"calls", [&] { Events << "calls: " + std::exchange(driver.Calls, {}).join(' '); }},
                {"state", [&] { Events << State(); }}};
            QVERIFY2(verbs.contains(verb), qPrintable("no such step: " + step));
            verbs.value(verb)();
        }
    }
    // What is open, what still waits in the driver, how often the socket was closed.
    QString State() const
    {
        QString state = "state:";
        for (const auto &[on, name] : {std::pair{s.ComPortOpen(), QString(" com")}, {s.EthernetOpen(), " eth"},
                                       {socket.Open, " sock"}, {s.TimerRunning(), " timer"},
                                       {!driver.Inbound.isEmpty(), " in " + QString::number(driver.Inbound.size())},
                                       {socket.CloseCalls > 0, " closed " + QString::number(socket.CloseCalls)}})
            state += on ? name : QString();
        return state;
    }
    // Ticks while the script is active; how many it took.
    int RunScript()
    {
        int ticks = 0;
        for (; ticks < 200000 && Status == "Active."; ++ticks)
            s.tmr1_Timer(10);
        return ticks;
    }
};

// A session over the real serial driver and TCP socket, its traffic lines kept.
struct RealRun {
    QtSerialDriver driver;
    TcpSocketControl socket;
    Session s{driver, socket};
    QStringList traffic;

    RealRun()
    {
        QObject::connect(&s, &Session::TrafficLine, [this](const QString &line) { traffic << line; });
        s.InitVariables();
    }
};
}

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void stepsRaiseExactlyTheseSignals_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("events"); // joined by '|', then every byte sent
        const QString most = QString("01 ").repeated(260), over = most + "0G "; // refused before a digit is read
        QTest::newRow("send as typed") << "send 05 00 68 6A F1 3F " << "T:<-- 05 00 68 6A F1 3F |sent 0500686af13f";
        QTest::newRow("send: case and spaces") << "send  5 a" << "C:5 A |T:<-- 5 A |sent 050a";
        // A command with a bad token is refused whole and not shown as sent.
        const QString notSent = "|D:Command not sent.";
        QTest::newRow("send: bad tail") << "send 05 00 ZZZ" << "C:05 00 ZZZ |D:Error in command string." + notSent;
        QTest::newRow("send: bad second nibble") << "send 0G 12" << "C:0G 12 |D:Nib0 not valid: 47" + notSent;
        QTest::newRow("send: both nibbles bad") << "send ZZ" << "C:ZZ |D:Nib1 not valid: 5A|D:Nib0 not valid: 5A" + notSent;
        QTest::newRow("send: two spaces") << "send 01  02" << "C:01  02 |D:Error in command string." + notSent;
        QTest::newRow("match reply: bad token") << "serial; match 00; command 01 ZZ; mark; tick 00"
            << "T:--> 00 |C:01 ZZ |D:Nib1 not valid: 5A|D:Nib0 not valid: 5A" + notSent;
        QTest::newRow("match reply: no link") << "ethernet 127.0.0.1 1; up; match 00; command 01; lost Gone; mark; arrive 00"
            << "T:--> 00 |C:01 |D:Error sending a packet.  Ethernet link not open.";
        QTest::newRow("send nothing") << "send " << "D:Empty command string.";
        QTest::newRow("send 260 bytes") << "send " + most << "T:<-- " + most + "|sent " + QString("01").repeated(260);
        QTest::newRow("send 261 bytes: refused whole") << "send " + over << "D:Command longer than 260 bytes: nothing sent.";
        // Shown as sent only when every byte was handed over.
        QTest::newRow("put byte fails, the rest goes, not shown") << "answer PutByte 3; send 05 0A " << "D:Error in put byte: 3|sent 0a";
        QTest::newRow("put packet fails after the bytes") << "answer ser_rs232_putpacket 3; send 05 " << "D:Error in put packet: 3|T:<-- 05 |sent 05";
        QTest::newRow("no Ethernet link") << "pipe 2; send 05 " << "D:Error sending a packet.  Ethernet link not open.";

        const QString opened = "T:COM port initialized and opened.|L:COM1: at 19.2 kbaud";
        const QString opening = "InitializePort(1,0,0,0,9,0,8192,8192,0) ser_rs232_getport(1) SetPortCharacteristics(1,8,0,3,0,0)";
        QTest::newRow("COM1 at 19.2, then already open")
            << "serial; state; serial" << opened + "|state: com timer|D:** ERROR ** COM Port already open.";
        QTest::newRow("COM8 at 115.2") << "port 8; speed 5; serial; calls"
            << "T:COM port initialized and opened.|L:COM8: at 115.2 kbaud|calls: InitializePort(8,7,0,0,9,0,8192,8192,0) "
               "ser_rs232_getport(8) SetPortCharacteristics(8,11,0,3,0,0) CdrvSetTimerResolution(8,1) SetTimeout(8,5) "
               "SetPaceTime(8,0) FlushReceiveBuffer(8) FlushTransmitBuffer(8)";
        QTest::newRow("port 9") << "port 9; serial; calls" << "D:COM Port selection is invalid.|calls: ";
        QTest::newRow("speed 6") << "port 3; speed 6; serial" << "D:COM Speed selection is invalid.";
        QTest::newRow("initialize fails") << "answer InitializePort 3; serial; calls"
                                          << "D:Error initializing COM port: 3|calls: " + opening.section(' ', 0, 0);
        QTest::newRow("getport fails: released") << "answer ser_rs232_getport 3; serial; state; calls"
            << "D:Error setting COM port parameters: 3|state:|calls: " + opening.section(' ', 0, 1) + " UnInitializePort(1)";
        QTest::newRow("characteristics fail: released") << "answer SetPortCharacteristics 3; serial; calls"
            << "D:Error setting COM port characteristics: 3|calls: " + opening + " UnInitializePort(1)";
        QTest::newRow("later steps fail, it opens all the same")
            << "answer CdrvSetTimerResolution 3; answer SetTimeout 3; answer SetPaceTime 3; answer FlushReceiveBuffer 3; "
               "answer FlushTransmitBuffer 3; serial; state"
            << "D:Error setting timer resolution: 3|D:Error setting time out: 3|D:Error setting pace time: 3|" + opened
                   + "|D:Error flushing receive buffer: 3|D:Error flushing transmit buffer: 3|state: com timer";

        QTest::newRow("match packet across ticks, shown then answered")
            << "serial; match  05 00 68 6a f1 3f ; command aa bb; mark; tick 050068; tick 6af13f"
            << "P:1|T:--> 05 00 68 6A F1 3F |P:0|C:AA BB |T:<-- AA BB |sent aabb";
        QTest::newRow("match packet under the key, display off") << "serial; display; mark; key  5a ; match 05 00 68 6A F1 3F; "
            "command AA BB ; tick 5f5a3230ab65" << "K:5A|sent f0e1"; // 05 00 68 6A F1 3F and AA BB under 5A
        QTest::newRow("match packet under the key over Ethernet") << "key 5A; ethernet 127.0.0.1 1; up; mark; match 05 00 68 6A F1 3F; "
            "command AA BB ; arrive 5f5a3230ab65"
            << "T:--> 05 00 68 6A F1 3F |T:<-- AA BB |sent f0e1"; // AA BB under 5A
        QTest::newRow("framed across ticks, flushed unmatched, cleared")
            << "serial; match 05 00 68; command AA; mark; tick 030102; tick 03; tick 050068; flush; tick 050068; clear; tick 00"
            << "P:1|T:--> 03 01 02 03 |P:0|P:1|T:--> 05 00 68 |P:0|P:1|P:0|T:--> 00 ";
        QTest::newRow("a tick takes at most 101 bytes") << "serial; mark; tick 1200f7" + QString(494, '0') + "; state; tick; state; tick"
            << "P:1|state: com timer in 149|state: com timer in 48|T:--> 12 00 F7 " + QString("00 ").repeated(247) + "|P:0";

        const QString packet = "1200f7" + QString(494, '0'); // 250 bytes
        QTest::newRow("at 115.2 kbaud a tick takes what the line carries in two") << "speed 5; serial; mark; tick " + packet + "; state"
            << "P:1|state: com timer in 19";
        QTest::newRow("serial bytes framed as they arrive, a bounded hand-over, the rest at once")
            << "speed 4; serial; mark; bytes " + packet + "; state; drained; state"
            << "P:1|state: com timer in 134|T:--> 12 00 F7 " + QString("00 ").repeated(247) + "|P:0|state: com timer";
        QTest::newRow("at 57.6 kbaud too") << "speed 4; serial; mark; tick " + packet + "; state" << "P:1|state: com timer in 134";

        const QString wrong = "  DataPipe value wrong.";
        QTest::newRow("no tick before a link; a wrong pipe says so everywhere")
            << "state; pipe 3; serial; tick; send 01; break; arrive 00"
            << "state:|" + opened + "|D:Error flushing inbound data pipe." + wrong + "|D:Error in tmr routine." + wrong
                   + "|C:01 |D:Error sending a packet." + wrong + "|D:Error reading a byte." + wrong;
        QTest::newRow("serial tick asks, then reads; break") << "serial; mark; tick; calls; answer SendBreak 7; break; calls"
            << "calls: ser_rs232_getpacket(1,0,0) GetByte(1)|D:Error sending break symbol: 7|calls: SendBreak(1,5)";
        QTest::newRow("nested tick dropped") << "serial; mark; nested tick; tick 0000" << "T:--> 00 |nested: 0 calls|T:--> 00 ";
        QTest::newRow("lost serial adapter: said once, closed") << "serial; mark; answer ser_rs232_getpacket 6; tick; calls; state"
            << "D:Error getting a packet: 6|D:COM1 lost: the device went away. Configure Comms to open it again.|D:Closed COM port: 1"
               "|L:|calls: ser_rs232_getpacket(1,0,0) UnInitializePort(1)|state:";
        QTest::newRow("Ethernet tick reads nothing, even amid an arrival; no break")
            << "ethernet 127.0.0.1 1; up; mark; nested tick; arrive 0000; tick 00; break; calls" << "T:--> 00 |nested: 0 calls|T:--> 00 |calls: ";
        QTest::newRow("a reopened port writes the packet held out first, then starts clean")
            << "serial; tick 0500; configure; mark; serial; tick 00" << "T:--> 05 00 |P:0|" + opened + "|T:--> 00 ";

        const QString refusedConfigure = "D:Com setup attempt failed, timer stopped. --> Try again !|refused|nested: 0 calls";
        const QString refusedExit = "D:Enter Form_QueryUnload|D:Exit attempt failed, timer stopped. --> Try again !|refused|nested: 0 calls";
        QTest::newRow("configure refused during a tick") << "serial; mark; nested configure; tick 00; state; configure; state"
            << "T:--> 00 |" + refusedConfigure + "|state: com|D:Closed COM port: 1|L:|state: closed 1";
        QTest::newRow("exit refused during a tick") << "serial; mark; nested exit; tick 00; state; exit; state"
            << "T:--> 00 |" + refusedExit + "|state: com|D:Enter Form_QueryUnload|D:Closed COM port: 1|L:|state:";
        QTest::newRow("configure refused during an arrival") << "ethernet 127.0.0.1 1; up; mark; nested configure; arrive 00; state; configure; state"
            << "T:--> 00 |" + refusedConfigure + "|state: eth sock|D:Ethernet connection closed.|L:|state: closed 1";
        QTest::newRow("exit refused during an arrival") << "ethernet 127.0.0.1 1; up; mark; nested exit; arrive 00; state; exit; state"
            << "T:--> 00 |" + refusedExit + "|state: eth sock|D:Enter Form_QueryUnload|D:Ethernet connection closed.|L:|state: closed 1";
        QTest::newRow("configure closes Ethernet, then the port")
            << "ethernet 127.0.0.1 1; up; pipe 1; serial; mark; answer UnInitializePort 5; configure; state"
            << "D:Ethernet connection closed.|D:Error: 5 closing COM port: 1|L:|state: closed 1";
        QTest::newRow("failed; pending attempt abandoned")
            << "ethernet 127.0.0.1 1; refused Connection refused; ethernet 127.0.0.1 1; configure; state"
            << "D:Ethernet connection pending.|D:Ethernet connection failed: Connection refused|D:Ethernet connection pending.|L:"
               "|state: closed 1";
        QTest::newRow("arrival count differs") << "ethernet 127.0.0.1 1; up; mark; arrive 0401020304 7"
            << "D:Byte counts are not equal.|D:IncomingByteCount = 7|D:UBound = 4  LBound = 0|T:--> 04 01 02 03 04 ";
        QTest::newRow("address shown as typed") << "ethernet fe80::1%2 8080; up; state" // the fake socket: nothing leaves
            << "D:Ethernet connection pending.|D:Ethernet connection complete.|L:Ethernet IP address: fe80::1%2   Port number: 8080"
               "|state: eth sock timer";
        QTest::newRow("nested arrival left waiting; peer lost mid-packet; next link writes it out, then starts clean")
            << "ethernet 127.0.0.1 1; up; mark; nested arrive 10; arrive 0401020304120100aabb; lost Gone; state; "
               "ethernet 127.0.0.1 1; up; arrive 01cc"
            << "T:--> 04 01 02 03 04 |nested: 0 calls|P:1|L:|D:Ethernet connection lost: Gone|state:|D:Ethernet connection pending."
               "|T:--> 12 01 00 AA BB |P:0|D:Ethernet connection complete.|L:Ethernet IP address: 127.0.0.1   Port number: 1"
               "|T:--> 10 |T:--> 01 CC ";
        const QByteArray largest = Hex("12ffff") + QByteArray(65535, '\x7e');
        // Reconnect When Lost: the partial packet written out, the same address tried on the schedule.
        const QString retry = "|R:Reconnecting to 127.0.0.1:1: try ";
        QTest::newRow("reconnect: tries after 1, 2, 4, 5, 5 s until back")
            << "reconnect on; ethernet 127.0.0.1 1; up; arrive 0401; mark; lost Gone; wait; due; refused No; wait; due; "
               "refused No; wait; due; refused No; wait; due; refused No; wait; due; up; wait; state"
            << "L:|D:Ethernet connection lost: Gone|T:--> 04 01 |P:0" + retry + "1 in 1 s.|wait 1000, connects 1" + retry
                   + "1 failed (No), try 2 in 2 s.|wait 2000, connects 2" + retry + "2 failed (No), try 3 in 4 s.|wait 4000, connects 3"
                   + retry + "3 failed (No), try 4 in 5 s.|wait 5000, connects 4" + retry + "4 failed (No), try 5 in 5 s."
                   "|wait 5000, connects 5|R:Reconnected to 127.0.0.1:1 at try 5.|D:Ethernet connection complete."
                   "|L:Ethernet IP address: 127.0.0.1   Port number: 1|wait 0, connects 6|state: eth sock timer";
        QTest::newRow("reconnect: a try without answer given up after 5 s; Configure Comms stops the tries")
            << "reconnect on; ethernet 127.0.0.1 1; up; lost Gone; mark; due; wait; due; wait; configure; due; wait; state"
            << "wait 5000, connects 2" + retry + "1 failed (no answer in 5 s), try 2 in 2 s.|wait 2000, connects 2"
                   "|R:Reconnecting to 127.0.0.1:1: stopped.|L:|wait 0, connects 2|state: closed 2";
        QTest::newRow("reconnect: switched off, no more tries") << "reconnect on; ethernet 127.0.0.1 1; up; lost Gone; mark; "
            "reconnect off; due; wait" << "R:Reconnecting to 127.0.0.1:1: stopped.|wait 0, connects 1";
        QTest::newRow("reconnect: serial port back at the same speed, a look a second")
            << "reconnect on; speed 5; serial; tick 0500; mark; answer ser_rs232_getpacket 6; tick; wait; answer InitializePort 3; "
               "answer InitializePort 3; due; due; calls; due; calls; state"
            << "D:Error getting a packet: 6|D:COM1 lost: the device went away.|D:Closed COM port: 1|L:|T:--> 05 00 |P:0"
               "|R:Waiting for COM1 to come back.|wait 1000, connects 0|R:Waiting for COM1 to come back (last try: Error "
               "initializing COM port: 3).|calls: ser_rs232_getpacket(1,0,0) UnInitializePort(1) " + opening.section(' ', 0, 0)
                   + " " + opening.section(' ', 0, 0) + "|R:COM1 is back.|L:COM1: at 115.2 kbaud|calls: "
                   + QString(opening).replace(",8,", ",11,") + " CdrvSetTimerResolution(1,1) SetTimeout(1,5) SetPaceTime(1,0) "
                   "FlushReceiveBuffer(1) FlushTransmitBuffer(1)|state: com timer";
        QTest::newRow("largest packet across two arrivals") << "ethernet 127.0.0.1 1; up; mark; arrive " + HexText(largest.left(40000))
            + "; arrive " + HexText(largest.mid(40000)) << "P:1|T:--> 12 FF FF " + QString("7E ").repeated(65535) + "|P:0";
    }
    void stepsRaiseExactlyTheseSignals()
    {
        QFETCH(QString, steps);
        Run r;
        r.Play(steps);
        const QByteArray wire = r.driver.Sent + r.socket.Sent.join();
        QTEST(r.Events.join('|') + (wire.isEmpty() ? "" : "|sent " + HexText(wire)), "events");
    }

    // For each packet the match packet first, then the rules that are on and parse, top
    // to bottom; the first that fits answers as the match reply does, the box untouched.
    void answerRulesPickTheReply_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("events");
        const QString up = "ethernet 127.0.0.1 1; up; mark; ";
        QTest::newRow("?? fits any byte") << up + "answers 11 03 ?? 00 10 => 7E 00; arrive 1103ab0010"
            << "A:|T:--> 11 03 AB 00 10 |T:<-- 7E 00 |sent 7e00";
        QTest::newRow("case and spaces forgiven, the length must agree")
            << up + "answers  11 ?? ab  => 7e 0; arrive 1101ab1102abcd1100"
            << "A:|T:--> 11 01 AB |T:<-- 7E 0 |T:--> 11 02 AB CD |T:--> 11 00 |sent 7e00";
        QTest::newRow("the match packet first, then the first rule that fits")
            << up + "match 05 00 68 6A F1 3F; command AA ; answers 05 00 68 6A F1 ?? => BB | 05 00 68 6A F1 3E => CC; "
                    "arrive 0500686af13f0500686af13e"
            << "A:/|T:--> 05 00 68 6A F1 3F |T:<-- AA |T:--> 05 00 68 6A F1 3E |T:<-- BB |sent aabb";
        QTest::newRow("rules off or broken are passed over and say why")
            << up + "answers off 11 01 ?? => 01 | 0G 01 ?? => 02 | 1 01 ?? => 02 |  => 02 | 11 01 ?? => ZZ | 11 01 ?? =>  "
                    "| 11 01 ?? => " + QString("01 ").repeated(261) + "| 11 01 ?? => 04; arrive 1101ff"
            << "A:/When: \"0G\" is not a byte (two hex digits) or ??./When: \"1\" is not a byte (two hex digits) or ??."
               "/When is empty./Reply: Nib1 not valid: 5A/Reply is empty./Reply is longer than 260 bytes./"
               "|T:--> 11 01 FF |T:<-- 04 |sent 04";
        QTest::newRow("the key byte on both") << "key 5A; " + up + "answers 11 01 ?? => 7E; arrive 4b5ba5" // 11 01 FF under 5A
            << "A:|T:--> 11 01 FF |T:<-- 7E |sent 24";
        QTest::newRow("answers wait in order; the link closed drops them and says so")
            << up + "answers 11 01 ?? => 01 @5000 | 11 02 ?? ?? => 02; arrive 1101ff1102ffff; configure"
            << "A:/|T:--> 11 01 FF |T:--> 11 02 FF FF |D:Ethernet connection closed.|D:2 waiting answers not sent: the link closed.|L:";
        QTest::newRow("on the serial port too") << "serial; mark; answers 11 01 ?? => 01; tick 1101ff"
            << "A:|T:--> 11 01 FF |T:<-- 01 |sent 01";
    }
    void answerRulesPickTheReply() { stepsRaiseExactlyTheseSignals(); }

    // Delayed answers go out in the order of their packets, none lost, and the packets
    // that come meanwhile are framed and shown at once: over loopback TCP.
    void answersWaitTheirDelayInOrderWhileTrafficGoesOn()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        RealRun real;
        Session &s = real.s;
        QStringList &traffic = real.traffic;
        s.SetAnswers(Rules("11 01 ?? => A1 @300 | 11 02 ?? ?? => A2 A2 | 11 03 ?? ?? ?? => A3 A3 A3 @100"));
        s.SetDataPipe(2);
        s.InitWinSock("127.0.0.1", server.serverPort());
        QTRY_VERIFY_WITH_TIMEOUT(s.EthernetOpen() && server.hasPendingConnections(), 5000);
        QTcpSocket *device = server.nextPendingConnection();
        device->write(Hex("1101ff" "1102ffff" "0401020304" "1103ffffff"));
        QByteArray answered;
        QTRY_VERIFY_WITH_TIMEOUT((answered += device->readAll()).size() >= 6, 5000);
        QCOMPARE(answered, Hex("a1" "a2a2" "a3a3a3"));
        QCOMPARE(traffic, (QStringList{"--> 11 01 FF ", "--> 11 02 FF FF ", "--> 04 01 02 03 04 ", "--> 11 03 FF FF FF ",
                                       "<-- A1 ", "<-- A2 A2 ", "<-- A3 A3 A3 "}));
        QVERIFY(s.QueryUnload());
    }

    void logAndScriptRunTogether()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("run.log");
        const QString script = WriteScript(dir, "05 00\r\n; hi\r\n\r\nECHO OFF\r\nAA\r\n0500\r\nECHO now\r\nECHO ON\r\nBB\r\n");
        Run r;
        r.files.Answers = {log, script, script};
        r.Play("log; serial; script");
        QCOMPARE(r.Events.mid(0, 3), (QStringList{"G:", "G:" + log + " - Active", "T:COM port initialized and opened."}));
        QCOMPARE(r.Last("F:"), script);
        // Sent again: stopped and started over. Aborted twice: once. Selected again: stopped without a mark.
        r.Play("start; start; tick; abort; abort; start; tick; script; start");
        QCOMPARE(r.RunScript(), 4 * 201 + 1); // an empty delay box means 1000 ms after every command, sent or not
        const QString start = "### Start Script File: " + script;
        const QStringList body = {"COM port initialized and opened.", "", start, "", "", "### Script file stopped.", "",
            "", start, "", "<<- 05 00 ", "", "### Script file aborted.", "", "", start, "", "<<- 05 00 ", "", start, "",
            "<<- 05 00 ", "; HI", " ", "<<- AA ", "NOW", "<<- BB ", "", "### Script file completed.", "", "<-- 01 ", ""};
        QCOMPARE(LogLines(log), Header(log) + body.mid(0, body.size() - 2) << ""); // on disk when each tick returns
        QCOMPARE(r.Last("Y:"), QString("1000"));
        QCOMPARE(r.Lines("S:"), (QStringList{"", "Inactive.", "Active.", "Inactive.", "Active.", "Aborted.", "Active.", "",
                                             "Inactive.", "Active.", "Completed."}));
        QCOMPARE(r.driver.Sent, Hex("0500" "0500" "0500" "aa" "bb"));
        r.Play("display; send 01; send 0G; display; tick 050068"); // hidden, still logged; a refused one not at all
        QCOMPARE(r.Lines("D:").filter("Command not sent.").size(), 2); // the script's 0500 and the typed 0G
        QCOMPARE(r.Lines("T:") + r.Lines("X:"), (QStringList{"COM port initialized and opened.", "<<- 05 00 ", "<<- 05 00 ",
                                                              "<<- 05 00 ", "; HI", " ", "<<- BB ", "NOW"}));
        r.Play("mark; exit");
        QCOMPARE(r.Events, (QStringList{"D:Enter Form_QueryUnload", "D:Closed COM port: 1", "L:", "D:Log file closed.",
                                        "S:Closed", "T:--> 05 00 68 ", "P:0"})); // the partial packet after the log closed
        QCOMPARE(LogLines(log), Header(log) + body);
    }

    void logThatCannotOpenOrGoesAwayIsReported_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("line");
        QTest::newRow("cancel") << std::optional<QString>() << "Log File cancelled.";
        QTest::newRow("empty") << std::optional<QString>("") << "No Log specified.";
        QTest::newRow("unopenable") << std::optional<QString>("/sys/quillon.log") << "Log File cancelled. Permission denied";
        QTest::newRow("deleted while open") << std::optional<QString>("deleted")
                                            << "Error writing log file: the file no longer exists. Log file closed.";
    }
    void logThatCannotOpenOrGoesAwayIsReported()
    {
        QFETCH(std::optional<QString>, answer);
        QTemporaryDir dir;
        const QString previous = dir.filePath("previous.log"), deleted = dir.filePath("deleted.log");
        Run r;
        r.files.Answers = {previous, answer == "deleted" ? std::optional<QString>(deleted) : answer};
        r.Play("log; log"); // the previous log is closed whatever happens
        if (answer == "deleted")
            QVERIFY(QFile::remove(deleted));
        r.Play("send 01; send 02");
        QTEST(r.Lines("D:").join('|'), "line");
        QVERIFY(!r.s.LogActive() && r.Last("G:").isEmpty() && !QFile::exists(deleted));
        QCOMPARE(r.Lines("T:"), (QStringList{"<-- 01 ", "<-- 02 "}));
        QCOMPARE(LogLines(previous), Header(previous) << "");
    }

    void scriptsThatEndOddly_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<char>("how"); // f file, c cancel, e empty name, r removed before start, d deleted running
        QTest::addColumn<QString>("debug"); // a Debug line that must be among them
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("minTicks");
        const QByteArray full = QByteArray("7F ").repeated(4097);
        QByteArray random(200000, Qt::Uninitialized);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QTest::newRow("line over 4097 bytes skipped") << full + "\r\n" + full + "7F\r\n02" << 'f'
            << "Script line longer than 4097 bytes skipped." << QByteArray(4097, '\x7f') + '\x02' << 3;
        QTest::newRow("a million empty lines, not in one tick")
            << QByteArray("\r\n").repeated(1000000) << 'f' << "" << QByteArray() << 2;
        QTest::newRow("random bytes") << random << 'f' << "Error in command string." << QByteArray("any") << 0;
        QTest::newRow("deleted while running, read to the end")
            << QByteArray("01\r\n").repeated(20000) << 'd' << "" << QByteArray(20000, '\x01') << 20000;
        QTest::newRow("cancel") << QByteArray() << 'c' << "Script File cancelled." << QByteArray() << 0;
        QTest::newRow("empty name") << QByteArray() << 'e' << "No Script file specified." << QByteArray() << 0;
        QTest::newRow("removed before start") << QByteArray() << 'r' << "Error in starting Script file." << QByteArray() << 0;
    }
    void scriptsThatEndOddly()
    {
        QFETCH(QByteArray, content);
        QFETCH(char, how);
        QFETCH(QString, debug);
        QFETCH(QByteArray, sent);
        QFETCH(int, minTicks);
        QTemporaryDir dir;
        const QString path = WriteScript(dir, content);
        Run r;
        r.Play("ethernet 127.0.0.1 1; up"); // ticks on either link run the script
        r.s.SetScriptDelayText("0");
        r.files.Answers = {how == 'c' ? std::nullopt : std::optional<QString>(how == 'e' ? "" : path)};
        r.s.SelectScriptFile(r.files.Next());
        if (how == 'r')
            QVERIFY(QFile::remove(path));
        r.s.SendScriptFile();
        if (how == 'd') {
            r.Play("tick");
            QVERIFY(QFile::remove(path));
        }
        QVERIFY(r.RunScript() >= minTicks - (how == 'd'));
        const bool ran = how == 'f' || how == 'd';
        QCOMPARE(r.Last("S:") + "|" + r.Last("F:"), ran ? "Completed.|" + path : "|");
        QVERIFY2(debug.isEmpty() || r.Lines("D:").contains(debug), qPrintable(r.Lines("D:").join('\n').left(2000)));
        QVERIFY(sent == "any" || r.socket.Sent.join() == sent);
        r.Play("send 7E"); // and the run goes on
        QCOMPARE(r.Events.last(), QString("T:<-- 7E "));
    }

    // A script on a pipe or an endless device never holds up a tick: what waits in a pipe
    // runs and the script ends; an endless line is passed over a little each tick.
    void scriptsOnPipesAndDevicesNeverHoldUpATick_data()
    {
        QTest::addColumn<QString>("path"); // empty: a pipe with "01 LF 02" waiting in it
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("pipe") << QString() << "Completed." << QByteArray("\x01\x02");
        QTest::newRow("/dev/zero") << "/dev/zero" << "Active." << QByteArray();
    }
    void scriptsOnPipesAndDevicesNeverHoldUpATick()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        QFile writer(dir.filePath("fifo.dwn")); // read-write, so its open does not wait for a reader
        if (path.isEmpty()) {
            path = writer.fileName();
            QCOMPARE(mkfifo(QFile::encodeName(path), 0600), 0);
            QVERIFY(writer.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && writer.write("01\n02") == 5);
        }
        Run r;
        r.Play("ethernet 127.0.0.1 1; up");
        r.s.SetScriptDelayText("0");
        r.files.Answers = {path};
        r.s.SelectScriptFile(r.files.Next());
        r.s.SendScriptFile();
        for (int i = 0; i < 20; ++i)
            r.Play("tick");
        QTEST(r.Status, "status");
        QTEST(r.socket.Sent.join(), "sent");
        r.s.AbortScriptFile();
        QVERIFY(r.Status != "Active.");
    }

    // The simulator answers a command and streams packets under the key, framed as its expect
    // file says; over loopback TCP and over its pseudo-terminal at 115.2 kbaud.
    void runsAgainstTheDeviceSimulator_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("tcp") << false;
        QTest::newRow("pty") << true;
    }
    void runsAgainstTheDeviceSimulator()
    {
        QFETCH(bool, pty);
        QTemporaryDir dir;
        const QString expect = dir.filePath("expect.txt");
        QProcess device;
        device.start(QCoreApplication::applicationDirPath() + "/../bench/quillon-device",
                     QStringList{"--key", "5A", "--stream", "60", "--seed", "1", "--max-len", pty ? "40" : "65535", "--on-command",
                                 "--expect-file", expect} + (pty ? QStringList{"--pty"} : QStringList{"--port", "0"}));
        QTRY_VERIFY_WITH_TIMEOUT(device.canReadLine(), 5000);
        const QString where = QString::fromLocal8Bit(device.readLine()).trimmed().remove("Device on ");
        RealRun real;
        Session &s = real.s;
        QStringList &traffic = real.traffic;
        s.UpdateKeyByte("5A");
        real.driver.SetPortDevice(1, where);
        s.SetComSpeed(5);
        s.SetDataPipe(pty ? 1 : 2);
        pty ? s.InitComPort() : s.InitWinSock("127.0.0.1", where.section(':', 1).toInt());
        QTRY_VERIFY_WITH_TIMEOUT(s.ComPortOpen() || s.EthernetOpen(), 5000);
        s.SetCommandText(QString("A5 ").repeated(256)); // its first command starts the stream
        s.SendCommand();
        QTRY_COMPARE_WITH_TIMEOUT(traffic.filter("--> ").size(), 61, 20000);
        QVERIFY(traffic.removeOne("--> 12 01 00 " + QString("A5 ").repeated(256))); // the reply, between two packets
        QFile file(expect);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList expected = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(traffic.filter("--> "), expected); // headers 11, 12 and others among them
        QVERIFY(s.QueryUnload());
        device.close();
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
