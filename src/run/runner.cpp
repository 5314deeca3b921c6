#include "run/runner.h"
#include "app/benchfile.h"
#include "datapipe/serialresult.h"
#include "display/safeopen.h"
#include "display/trafficwrap.h"
#include "run/transcript.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
const char Usage[] =
    "Usage: quillon-run (--tcp HOST:PORT | --serial DEVICE [--speed BAUD]) [--key HEX] [--delay N]\n"
    "                   [--match PACKET --reply COMMAND] [--log FILE] [--timestamps] [--wait MS]\n"
    "                   [--timeout S] [--expect FILE] [--record] [--junit FILE]\n"
    "                   [--reconnect] [--bench FILE] SCRIPT.dwn...\n";

const char Description[] =
    "Runs script files against the device without any window, as the main window's\n"
    "\"Send Script File\" does: the same pacing, ECHO lines and log markers, the match packet\n"
    "answered with the reply, the same log file. Opens the log, then the link, then runs the\n"
    "scripts one after the other on that link, starting as soon as it is up.\n"
    "\n"
    "--bench FILE takes the link, key, delay, match packet and its reply, the answers and\n"
    "Reconnect When Lost from a bench file (.qbench) as the window has them once it is\n"
    "opened; any option given overrides the file's setting, and --tcp or --serial may be\n"
    "left out.\n"
    "\n"
    "stdout: each traffic line the window would show, whole (not wrapped at 19 bytes), one\n"
    "per line, as the log has it; with --timestamps the time in front and an inbound\n"
    "packet's delay behind. stderr: each Debug window line, and quillon-run's own lines.\n"
    "\n"
    "When a script reports \"Completed.\" it waits --wait MS for late replies. Then, when\n"
    "SCRIPT.expect is beside SCRIPT.dwn (or --expect FILE is given), the script's traffic\n"
    "lines, without timestamps, must be the lines of that file: there \"??\" stands for any\n"
    "one byte and a line of only \"...\" for any number of lines, none included. On a\n"
    "mismatch the first line that differs goes to stderr and the script fails. A script\n"
    "that cannot be opened or fails its transcript does not stop the others; a lost link\n"
    "does, and the scripts left fail. At the end it closes the link and the log as the\n"
    "window's exit does.\n"
    "\n"
    "Exit codes: 0 every script completed and matched its expected transcript; 1 a script\n"
    "failed: it did not open, its transcript differed, the link failed (connection failed\n"
    "or lost, serial port not opened or lost), the log did not open, or --timeout passed;\n"
    "2 usage error, or a --bench file that does not read. With --reconnect a link lost once\n"
    "it was up is opened again and the script goes on; --timeout still bounds the whole\n"
    "run, the waits included.\n"
    "A failing run's stderr, beside the Debug lines:\n"
    "  quillon-run: b.dwn: line 3 of the transcript differs from line 3 of b.expect\n"
    "    expected: \"--> 11 02 04 06 \"\n"
    "    came:     \"--> 11 02 04 05 \"\n"
    "  quillon-run: 1 of 2 scripts passed.";

void Print(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream); // a rig watching the pipe sees each line as it happens
}

int UsageError(const QString &message)
{
    Print(stderr, "quillon-run: " + message);
    std::fputs(Usage, stderr);
    std::fputs("Try 'quillon-run --help' for more.\n", stderr);
    return 2;
}

// Why a script cannot be read, or empty. A FIFO or a device is left unopened: its writer
// would see a reader come and go; the session says so if it then fails to open.
QString ScriptOpenError(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return {};
    QFile file(path);
    return OpenWithoutBlocking(file, QIODevice::ReadOnly) ? QString() : file.errorString();
}

// The script counts at most 32767 ticks, a fifth of the delay number each.
constexpr int MaxDelay = 32767 * 5;

// The settings the window has once the bench file is opened that a run uses.
void UseBench(const Bench &bench, RunOptions *o)
{
    o->serial = bench.transport == "serial";
    if (!o->serial) {
        o->host = bench.address;
        o->port = quint16(bench.port);
    } else {
        o->device = bench.device;
        o->comPort = bench.com;
        o->comSpeed = qint16(LineSpeeds().indexOf(bench.speed) + 1);
    }
    o->key = bench.key;
    o->delay = QString::number(bench.scriptDelay);
    o->match = bench.match;
    o->reply = bench.command;
    o->answers = bench.answers;
    o->reconnect = bench.reconnect;
}

// A whole number from low to high, or -1.
int Number(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? value : -1;
}
}

int ParseRunOptions(const QStringList &arguments, RunOptions *o)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({
        {"tcp", "Connect over TCP to HOST:PORT, e.g. 127.0.0.1:10001 or [::1]:10001.", "HOST:PORT"},
        {"serial", "Open this serial device (e.g. /dev/ttyUSB0) as COM1.", "DEVICE"},
        {"speed", "Serial speed: 9600, 19200, 38400, 57600 or 115200 (default 19200).", "BAUD"},
        {"key", "Key byte XORed on every byte on the wire, in hex, e.g. 5A (default 00).", "HEX"},
        {"delay", "The \"Script File Delay\" box's number (default 1000: about 2 s after each "
                  "command).", "N", "1000"},
        {"match", "Answer this inbound packet (its bytes, header included, e.g. "
                  "\"11 03 AA BB CC\") with --reply. Without it nothing is answered.", "PACKET"},
        {"reply", "The command that answers the --match packet.", "COMMAND"},
        {"log", "Append the traffic to this log file, as the \"Open Log File\" button does.", "FILE"},
        {"timestamps", "The time in front of each traffic line, as View > Timestamps."},
        {"wait", "Wait this long after each script completes (default: the --delay number, "
                 "in ms).", "MS"},
        {"timeout", "Give up after S seconds in all and exit 1 (default: no limit).", "S"},
        {"expect", "Compare the script's traffic lines with FILE instead of SCRIPT.expect "
                   "(one script only).", "FILE"},
        {"record", "Write each script's traffic lines to its SCRIPT.expect (or the --expect "
                   "FILE) instead of comparing."},
        {"junit", "Write a JUnit XML report to FILE: a testcase per script, with its "
                  "failure and its traffic lines.", "FILE"},
        {"reconnect", "A link lost while up is opened again, as Bench > Reconnect When Lost: the script "
                      "waits and goes on once it is back."},
        {"bench", "Take the settings from this bench file; options given override them.", "FILE"},
    });
    parser.addPositionalArgument("SCRIPT.dwn...", "The script files to run, one after the other.");
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet("help-all")) {
        std::fputs(Usage, stdout);
        Print(stdout, '\n' + parser.helpText().section('\n', 1)); // after Qt's own usage line
        return -1;
    }
    if (parser.isSet(version)) {
        Print(stdout, "quillon-run " QUILLON_VERSION);
        return -1;
    }

    o->scripts = parser.positionalArguments();
    if (o->scripts.isEmpty())
        return UsageError("give a script file");
    o->expect = parser.value("expect");
    if (!o->expect.isEmpty() && o->scripts.size() > 1)
        return UsageError("--expect goes with one script");
    o->record = parser.isSet("record");
    o->junit = parser.value("junit");
    const bool bench = parser.isSet("bench");
    if (bench) {
        const BenchRead read = ReadBenchFile(parser.value("bench"));
        if (!read.error.isEmpty()) {
            Print(stderr, "quillon-run: bench file not opened: " + parser.value("bench") + ": " + read.error);
            return 2;
        }
        for (const QString &field : read.ignored)
            Print(stderr, "Bench file: unknown field \"" + field + "\" ignored.");
        UseBench(read.bench, o);
    }
    const bool tcp = parser.isSet("tcp"), serial = parser.isSet("serial");
    if ((tcp && serial) || (!tcp && !serial && !bench))
        return UsageError("give --tcp HOST:PORT or --serial DEVICE");
    if (tcp) {
        const QString where = parser.value("tcp");
        const int colon = int(where.lastIndexOf(':'));
        o->host = where.left(qMax(colon, 0));
        if (o->host.startsWith('[') && o->host.endsWith(']'))
            o->host = o->host.mid(1, o->host.size() - 2);
        const int port = Number(where.mid(colon + 1), 1, 65535);
        if (colon < 0 || o->host.isEmpty() || port < 0)
            return UsageError("--tcp takes HOST:PORT, e.g. 127.0.0.1:10001");
        o->port = quint16(port);
        o->serial = false;
    } else if (serial) {
        o->serial = true;
        o->device = parser.value("serial");
        o->comPort = 1;
    }
    if (!o->serial && parser.isSet("speed"))
        return UsageError("--speed goes with --serial");
    if (parser.isSet("speed")) {
        o->comSpeed = qint16(LineSpeeds().indexOf(Number(parser.value("speed"), 1, 115200)) + 1);
        if (o->comSpeed == 0)
            return UsageError("--speed takes 9600, 19200, 38400, 57600 or 115200");
    }
    if (parser.isSet("key")) {
        o->key = parser.value("key");
        bool ok = false;
        o->key.toUInt(&ok, 16);
        if (!ok || o->key.size() > 2)
            return UsageError("--key takes one byte in hex, e.g. 5A");
    }
    if (parser.isSet("delay"))
        o->delay = parser.value("delay");
    if (Number(o->delay, 0, MaxDelay) < 0)
        return UsageError(QString("--delay takes a number from 0 to %1").arg(MaxDelay));
    if (!bench && parser.isSet("match") != parser.isSet("reply"))
        return UsageError("--match and --reply go together");
    if (parser.isSet("match"))
        o->match = parser.value("match");
    if (parser.isSet("reply"))
        o->reply = parser.value("reply");
    o->log = parser.value("log");
    o->timestamps = parser.isSet("timestamps");
    if (parser.isSet("reconnect"))
        o->reconnect = true;
    o->waitMs = parser.isSet("wait") ? Number(parser.value("wait"), 0, 86400000) : o->delay.toInt();
    if (o->waitMs < 0)
        return UsageError("--wait takes milliseconds");
    if (parser.isSet("timeout")) {
        o->timeoutS = Number(parser.value("timeout"), 1, 2000000);
        if (o->timeoutS < 0)
            return UsageError("--timeout takes seconds");
    }
    return 0;
}

Runner::Runner(const RunOptions &options, QObject *parent)
    : QObject(parent), Options(options), Run(Driver, Socket)
{
    connect(&Run, &Session::DebugLine, this, [this](const QString &line) {
        LastDebug = line;
        Print(stderr, line);
    });
    // Whole, as the log has it; the transcript without timestamps.
    connect(&Run, &Session::TrafficLine, this,
            [this](const QString &line, bool, const QString &stamp, const QString &delay) {
                Print(stdout, StampedLine(line, stamp, delay));
                if (Current >= 0 && Current < Results.size())
                    Results[Current].transcript << line;
            });
    connect(&Run, &Session::AnswerProblems, this, [](const QStringList &problems) {
        for (qsizetype i = 0; i < problems.size(); ++i) {
            if (!problems[i].isEmpty())
                Print(stderr, QString("quillon-run: answer %1 never answers: %2").arg(i + 1).arg(problems[i]));
        }
    });
    connect(&Run, &Session::ScriptStatus, this, &Runner::ScriptStatusChanged);
    connect(&Run, &Session::LinkStatus, this, &Runner::LinkStatusChanged);
    connect(&Run, &Session::LogStatus, this, [this](const QString &text) {
        if (!text.isEmpty())
            LogOpen = true;
        else if (LogOpen && !Finishing)
            Stop({}); // a write failed; the session has said why
    });
    // Only a DebugStatusLine when it changes, so a long gap prints one line a try.
    connect(&Run, &Session::DebugStatusLine, this, [](const QString &line) { Print(stderr, line); });
    // The session only reports it on the Debug window. With --reconnect, once a script
    // started, a failed connection is one of the tries.
    connect(&Socket, &SocketControl::ConnectFailed, this, [this] {
        if (!Options.reconnect || Current < 0)
            Stop({});
    });
}

void Runner::Start()
{
    Run.InitVariables();
    Run.SetScriptDelayText(Options.delay);
    Run.SetMatchText(Options.match); // empty never matches
    Run.SetCommandText(Options.reply);
    if (!Options.key.isEmpty())
        Run.UpdateKeyByte(Options.key);
    Run.SetTimestamps(Options.timestamps);
    Run.SetAnswers(Options.answers);
    Run.SetReconnect(Options.reconnect);
    if (Options.timeoutS > 0)
        QTimer::singleShot(Options.timeoutS * 1000LL, this,
                           [this] { Stop(QString("timed out after %1 s").arg(Options.timeoutS)); });
    // Said before anything is opened; the other scripts still run.
    bool anyScript = false;
    for (const QString &script : Options.scripts) {
        Results.append({script, 0, {}, {}});
        const QString why = ScriptOpenError(script);
        if (!why.isEmpty())
            Failed(Results.last(), "cannot open script " + script + ": " + why);
        anyScript |= why.isEmpty();
    }
    if (!anyScript)
        return Finish();
    if (!Options.log.isEmpty()) {
        const QString log = QFileInfo(Options.log).absoluteFilePath(); // as the file dialog names it
        Run.SelectLogFile(log);
        if (!Run.LogActive())
            return Stop("cannot open log " + log + ": " + Run.LogError());
    }
    if (Options.serial) {
        if (!Options.device.isEmpty())
            Driver.SetPortDevice(Options.comPort, Options.device);
        Run.SetDataPipe(1);
        Run.SetComPort(Options.comPort);
        Run.SetComSpeed(Options.comSpeed);
        Run.InitComPort();
        if (!Run.ComPortOpen())
            return Stop(QString("cannot open serial device %1: %2 (code %3)")
                            .arg(Driver.PortDevice(Options.comPort), SerialResult::Meaning(Run.PipeResult()))
                            .arg(Run.PipeResult()));
    } else {
        Run.SetDataPipe(2);
        Run.InitWinSock(Options.host, Options.port);
    }
}

// Up on the status line: the first script starts once the handler that opened the link
// returns; back up after a loss, the session goes on with the script it was running.
void Runner::LinkStatusChanged(const QString &text)
{
    if (!text.isEmpty() && !LinkUp) {
        LinkUp = true;
        if (Current < 0)
            QTimer::singleShot(0, this, &Runner::StartNext);
    } else if (text.isEmpty() && LinkUp && !Finishing) {
        LinkUp = false;
        if (!Options.reconnect)
            Stop({}); // peer closed or port lost; the session says which
    }
}

// Starts the next script that opened, as "Select Script File" and "Send Script File" do.
void Runner::StartNext()
{
    if (Finishing)
        return;
    while (++Current < Results.size() && !Results[Current].failure.isEmpty()) {}
    if (Current == Results.size())
        return Finish();
    ScriptResult &result = Results[Current];
    Run.SelectScriptFile(result.script);
    Clock.start();
    Run.SendScriptFile();
    if (ScriptState != "Active.") { // gone since it was checked; the session has said so
        Failed(result, result.script + ": " + LastDebug);
        StartNext();
    }
}

void Runner::ScriptStatusChanged(const QString &text)
{
    ScriptState = text;
    if (text == "Completed." && !Finishing)
        QTimer::singleShot(Options.waitMs, this, &Runner::ScriptDone);
}

// After the wait for late replies: the transcript kept or compared, then the next script.
void Runner::ScriptDone()
{
    if (Finishing)
        return;
    ScriptResult &result = Results[Current];
    result.seconds = Clock.elapsed() / 1000.0;
    const QString expectFile = ExpectFile(result.script);
    QString why;
    if (Options.record) {
        if (!ExpectedTranscript::Write(expectFile, result.transcript, &why))
            Failed(result, result.script + ": cannot write " + expectFile + ": " + why);
    } else if (!Options.expect.isEmpty() || QFileInfo::exists(expectFile)) {
        const std::optional<ExpectedTranscript> expected = ExpectedTranscript::Read(expectFile, &why);
        if (!expected)
            Failed(result, result.script + ": cannot read " + expectFile + ": " + why);
        else if (const auto mismatch = expected->Compare(result.transcript))
            Failed(result, result.script + ": " + mismatch->Text(expectFile));
    }
    StartNext();
}

// SCRIPT.expect beside SCRIPT.dwn, or --expect's file.
QString Runner::ExpectFile(const QString &script) const
{
    if (!Options.expect.isEmpty())
        return Options.expect;
    const QString suffix = QFileInfo(script).suffix();
    return script.chopped(suffix.isEmpty() ? 0 : suffix.size() + 1) + ".expect";
}

void Runner::Failed(ScriptResult &result, const QString &why)
{
    result.failure = why;
    Print(stderr, "quillon-run: " + why);
}

// The run cannot go on: the scripts not yet finished fail with why, or with the
// session's Debug line when why is empty (read later: the session posts it last).
void Runner::Stop(const QString &why)
{
    if (Finishing)
        return;
    if (!why.isEmpty())
        Print(stderr, "quillon-run: " + why);
    Stopped = true;
    StopReason = why;
    Finish();
}

// Closed from the event loop, never inside a session handler, which would refuse it.
void Runner::Finish()
{
    if (Finishing)
        return;
    Finishing = true;
    QTimer::singleShot(0, this, [this] {
        FailUnfinished();
        Close();
    });
}

// One script alone prints nothing more than the Debug line or why already said.
void Runner::FailUnfinished()
{
    if (!Stopped)
        return;
    const QString why = StopReason.isEmpty() ? LastDebug : StopReason;
    for (qsizetype i = qMax<qsizetype>(Current, 0); i < Results.size(); ++i) {
        ScriptResult &result = Results[i];
        if (!result.failure.isEmpty())
            continue;
        result.failure = result.script + (i == Current ? ": stopped: " : ": not run: ") + why;
        if (i == Current)
            result.seconds = Clock.elapsed() / 1000.0;
        if (Results.size() > 1)
            Print(stderr, "quillon-run: " + result.failure);
    }
}

void Runner::Close()
{
    if (!Run.QueryUnload()) {
        QTimer::singleShot(10, this, &Runner::Close);
        return;
    }
    const qsizetype failed = std::count_if(Results.cbegin(), Results.cend(),
                                           [](const ScriptResult &r) { return !r.failure.isEmpty(); });
    if (Results.size() > 1)
        Print(stderr, QString("quillon-run: %1 of %2 scripts passed.").arg(Results.size() - failed).arg(Results.size()));
    QString why;
    if (!Options.junit.isEmpty() && !JUnitReport::Write(Options.junit, Results, &why)) {
        Print(stderr, "quillon-run: cannot write " + Options.junit + ": " + why);
        return emit Finished(1);
    }
    emit Finished(failed ? 1 : 0);
}
