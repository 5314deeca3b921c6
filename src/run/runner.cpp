#include "run/runner.h"
#include "display/trafficwrap.h"

#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

namespace {
const char Usage[] =
    "Usage: quillon-run (--tcp HOST:PORT | --serial DEVICE [--speed BAUD]) [--key HEX] [--delay N]\n"
    "                   [--match PACKET --reply COMMAND] [--log FILE] [--timestamps] [--wait MS]\n"
    "                   [--timeout S] [--reconnect] SCRIPT.dwn\n";

const char Description[] =
    "Runs a script file against the device without any window, as the main window's\n"
    "\"Send Script File\" does: the same pacing, ECHO lines and log markers, the match packet\n"
    "answered with the reply, the same log file. Opens the log, then the link, then starts\n"
    "the script as soon as the link is up.\n"
    "\n"
    "stdout: each traffic line the window would show, whole (not wrapped at 19 bytes), one\n"
    "per line, as the log has it; with --timestamps the time in front and an inbound\n"
    "packet's delay behind. stderr: each Debug window line.\n"
    "\n"
    "When the script reports \"Completed.\" it waits --wait MS for late replies, then closes\n"
    "the link and the log as the window's exit does.\n"
    "Exit codes: 0 the script completed; 1 the link failed (connection failed or lost,\n"
    "serial port not opened or lost), the log or the script did not open, or --timeout\n"
    "passed; 2 usage error. With --reconnect a link lost once it was up is opened again\n"
    "and the script goes on; --timeout still bounds the whole run, waits included.";

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

// The script counts at most 32767 ticks, a fifth of the delay number each.
constexpr int MaxDelay = 32767 * 5;

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
        {"log", "Append the traffic to this log file, as \"Select Log File\" does.", "FILE"},
        {"timestamps", "The time in front of each traffic line, as View > Timestamps."},
        {"wait", "Wait this long after the script completes (default: the --delay number, in "
                 "ms).", "MS"},
        {"timeout", "Give up after S seconds in all and exit 1 (default: no limit).", "S"},
        {"reconnect", "A link lost while up is opened again, as Bench > Reconnect When Lost: the script "
                      "waits and goes on once it is back."},
    });
    parser.addPositionalArgument("SCRIPT.dwn", "The script file to run.");
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

    const QStringList scripts = parser.positionalArguments();
    if (scripts.size() != 1)
        return UsageError("give one script file");
    o->script = scripts[0];
    if (parser.isSet("tcp") == parser.isSet("serial"))
        return UsageError("give --tcp HOST:PORT or --serial DEVICE");
    if (parser.isSet("tcp")) {
        const QString where = parser.value("tcp");
        const int colon = int(where.lastIndexOf(':'));
        o->host = where.left(qMax(colon, 0));
        if (o->host.startsWith('[') && o->host.endsWith(']'))
            o->host = o->host.mid(1, o->host.size() - 2);
        const int port = Number(where.mid(colon + 1), 1, 65535);
        if (colon < 0 || o->host.isEmpty() || port < 0)
            return UsageError("--tcp takes HOST:PORT, e.g. 127.0.0.1:10001");
        o->port = quint16(port);
        if (parser.isSet("speed"))
            return UsageError("--speed goes with --serial");
    } else {
        o->device = parser.value("serial");
        if (parser.isSet("speed")) {
            const QList<int> speeds{9600, 19200, 38400, 57600, 115200};
            o->comSpeed = qint16(speeds.indexOf(Number(parser.value("speed"), 1, 115200)) + 1);
            if (o->comSpeed == 0)
                return UsageError("--speed takes 9600, 19200, 38400, 57600 or 115200");
        }
    }
    if (parser.isSet("key")) {
        o->key = parser.value("key");
        bool ok = false;
        o->key.toUInt(&ok, 16);
        if (!ok || o->key.size() > 2)
            return UsageError("--key takes one byte in hex, e.g. 5A");
    }
    o->delay = parser.value("delay");
    if (Number(o->delay, 0, MaxDelay) < 0)
        return UsageError(QString("--delay takes a number from 0 to %1").arg(MaxDelay));
    if (parser.isSet("match") != parser.isSet("reply"))
        return UsageError("--match and --reply go together");
    o->match = parser.value("match");
    o->reply = parser.value("reply");
    o->log = parser.value("log");
    o->timestamps = parser.isSet("timestamps");
    o->reconnect = parser.isSet("reconnect");
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
    : QObject(parent), Options(options), Run(Driver, Socket, Files)
{
    connect(&Run, &Session::DebugLine, this, [](const QString &line) { Print(stderr, line); });
    // Whole, as the log has it.
    connect(&Run, &Session::TrafficLine, this,
            [](const QString &line, bool, const QString &stamp, const QString &delay) {
                Print(stdout, StampedLine(line, stamp, delay));
            });
    connect(&Run, &Session::ScriptStatus, this, &Runner::ScriptStatusChanged);
    connect(&Run, &Session::LinkStatus, this, &Runner::LinkStatusChanged);
    connect(&Run, &Session::LogStatus, this, [this](const QString &text) {
        if (!text.isEmpty())
            LogOpen = true;
        else if (LogOpen && !Finishing)
            Finish(1); // a write failed; the session has said why
    });
    // Only a DebugStatusLine when it changes, so a long gap prints one line a try.
    connect(&Run, &Session::DebugStatusLine, this, [](const QString &line) { Print(stderr, line); });
    // The session only reports it on the Debug window. With --reconnect, once the
    // script started, a failed connection is one of the tries.
    connect(&Socket, &SocketControl::ConnectFailed, this, [this] {
        if (!Options.reconnect || ScriptState == "Inactive.")
            Finish(1);
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
    Run.SetReconnect(Options.reconnect);
    if (Options.timeoutS > 0)
        QTimer::singleShot(Options.timeoutS * 1000LL, this,
                           [this] { Fail(QString("timed out after %1 s").arg(Options.timeoutS)); });
    if (!Options.log.isEmpty()) {
        Files.Name = Options.log;
        Run.SelectLogFile();
        if (!Run.LogActive())
            return Finish(1);
    }
    Files.Name = Options.script;
    Run.SelectScriptFile();
    if (!Options.device.isEmpty()) {
        Driver.SetPortDevice(1, Options.device);
        Run.SetDataPipe(1);
        Run.SetComPort(1);
        Run.SetComSpeed(Options.comSpeed);
        Run.InitComPort();
        if (!Run.ComPortOpen())
            return Finish(1);
    } else {
        Run.SetDataPipe(2);
        Run.InitWinSock(Options.host, Options.port);
    }
}

// Up on the status line: the script starts once the handler that opened the link
// returns; back up after a loss, the session goes on with it.
void Runner::LinkStatusChanged(const QString &text)
{
    if (!text.isEmpty() && !LinkUp) {
        LinkUp = true;
        if (ScriptState == "Inactive.")
            QTimer::singleShot(0, this, &Runner::StartScript);
    } else if (text.isEmpty() && LinkUp && !Finishing) {
        LinkUp = false; // peer closed or port lost; the session has said which
        if (!Options.reconnect)
            Finish(1);
    }
}

void Runner::StartScript()
{
    if (Finishing)
        return;
    Run.SendScriptFile();
    if (ScriptState != "Active.")
        Finish(1);
}

void Runner::ScriptStatusChanged(const QString &text)
{
    ScriptState = text;
    if (text == "Completed." && !Finishing)
        QTimer::singleShot(Options.waitMs, this, [this] { Finish(0); });
}

void Runner::Fail(const QString &why)
{
    if (Finishing)
        return;
    Print(stderr, "quillon-run: " + why);
    Finish(1);
}

// Closed from the event loop, never inside a session handler, which would refuse it.
void Runner::Finish(int code)
{
    if (Finishing)
        return;
    Finishing = true;
    QTimer::singleShot(0, this, [this, code] { Close(code); });
}

void Runner::Close(int code)
{
    if (!Run.QueryUnload()) {
        QTimer::singleShot(10, this, [this, code] { Close(code); });
        return;
    }
    emit Finished(code);
}
