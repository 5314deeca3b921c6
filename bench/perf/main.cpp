// quillon-bench: drives the real main window, links and log file against its own
// peers on 127.0.0.1 and on pseudo-terminals, and prints each figure beside the best
// this machine does without Quillon, measured in the same run.
#include "loopback.h"

#include "app/filedialog.h"
#include "app/form1.h"
#include "app/mainstartup.h"
#include "app/pulseclock.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {
const QByteArray Match("\x05\x00\x68\x6A\xF1\x3F", 6); // the default match packet
const QByteArray Reply("\x03\x01\x02\x03", 4);
const char *ReplyText = "03 01 02 03";
const double TickMs = 10;
// The peer waits up to this long before each request, as a device does between
// messages, so that each exchange meets Quillon as a device would find it.
const int TcpPauseUs = qEnvironmentVariableIsSet("PAUSE") ? qEnvironmentVariableIntValue("PAUSE") : 2000;

[[noreturn]] void Die(const QString &why)
{
    std::fprintf(stderr, "quillon-bench: %s\n", qPrintable(why));
    std::exit(1);
}

void Say(const QString &what)
{
    std::fprintf(stderr, "... %s\n", qPrintable(what));
}

class BenchFileDialog : public FileDialog {
public:
    QString Name;
    bool Ask(const FileRequest &, QString *name) override
    {
        *name = Name;
        return true;
    }
};

// One Quillon as the program starts it, over the real driver and socket control.
struct Quillon {
    QtSerialDriver Driver;
    TcpSocketControl Socket;
    BenchFileDialog Files;
    std::unique_ptr<Form1> Form{MainStartUp::Main(Driver, Socket, Files)};

    explicit Quillon(const QString &logPath)
    {
        Files.Name = logPath;
        Form->SelectLogFile->click(); // as the user does: the header reaches the file at once
        if (!Form->Log.LogActive)
            Die("cannot open the log " + logPath);
        Form->Text5->setText(ReplyText);
    }
};

// Runs the GUI event loop until done() or the time is up; threads wake it with Wake().
bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void Wake()
{
    QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
}

// Opens Quillon's Ethernet link to a listening peer and returns the peer's end.
int OpenTcp(Quillon &q, int listenFd, int port)
{
    q.Form->Pipe.DataPipe = 2;
    q.Form->IPAddress = "127.0.0.1";
    q.Form->PortNumber = port;
    q.Form->InitWinSock();
    if (!RunUntil([&] { return q.Form->EthernetOpen; }, 5000))
        Die("Quillon did not connect over TCP");
    return Loopback::Accept(listenFd, 5000);
}

void OpenSerial(Quillon &q, const QString &device)
{
    q.Driver.SetPortDevice(1, device);
    q.Form->Pipe.DataPipe = 1;
    q.Form->Pipe.ComPort = 1;
    q.Form->ComSpeed = 5; // 115200 baud
    q.Form->InitComPort();
    if (!q.Form->ComPortOpen)
        Die("Quillon did not open the pseudo-terminal " + device);
}

// The peer plays the device in a thread while the GUI thread runs Quillon.
std::vector<double> PeerWhileRunning(int fd, int count, int maxPauseUs)
{
    std::vector<double> us;
    std::atomic<bool> done{false};
    std::thread peer([&] {
        us = Loopback::PingPong(fd, Match, Reply, count, maxPauseUs);
        done = true;
        Wake();
    });
    RunUntil([&] { return done.load(); }, 120000);
    peer.join();
    if (int(us.size()) < count)
        Die(QString("auto-reply stopped after %1 of %2 exchanges").arg(us.size()).arg(count));
    return us;
}

std::vector<double> QuillonTcpLatency(const QString &log, int count)
{
    Quillon q(log);
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    const int fd = OpenTcp(q, listenFd, port);
    auto us = PeerWhileRunning(fd, count, TcpPauseUs);
    close(fd);
    close(listenFd);
    return us;
}

std::vector<double> ReferenceTcpLatency(int count)
{
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    std::thread responder([port] {
        const int fd = Loopback::Connect(port);
        Loopback::Respond(fd, Match.size(), Reply);
        close(fd);
    });
    const int fd = Loopback::Accept(listenFd, 5000);
    auto us = Loopback::PingPong(fd, Match, Reply, count, TcpPauseUs);
    close(fd);
    responder.join();
    close(listenFd);
    return us;
}

// The peer waits a random part of a tick before each send, so every tick phase is seen.
std::vector<double> QuillonPtyLatency(const QString &log, int count)
{
    Loopback::Pty pty;
    Quillon q(log);
    OpenSerial(q, pty.Path);
    return PeerWhileRunning(pty.Master, count, int(TickMs * 1000));
}

std::vector<double> ReferencePtyLatency(int count)
{
    Loopback::Pty pty;
    std::thread responder([&] { Loopback::Respond(pty.Slave, Match.size(), Reply); });
    auto us = Loopback::PingPong(pty.Master, Match, Reply, count, int(TickMs * 1000));
    close(pty.Master); // ends the responder's read
    pty.Master = -1;
    responder.join();
    return us;
}

struct Idle {
    double cpuPercent = 0, ticksPerSecond = 0;
};

double CpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

template <typename Signal> Idle IdleOf(const typename QtPrivate::FunctionPointer<Signal>::Object *clock,
                                       Signal signal, int seconds)
{
    qint64 ticks = 0;
    QObject counter;
    QObject::connect(clock, signal, &counter, [&ticks] { ++ticks; });
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunUntil([] { return false; }, seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    return {100 * (CpuSeconds() - cpu) / elapsed, ticks / elapsed};
}

Idle QuillonIdle(const QString &log, int seconds)
{
    Loopback::Pty pty;
    Quillon q(log);
    OpenSerial(q, pty.Path);
    return IdleOf(q.Form->tmr1.get(), &PulseClock::Timer, seconds);
}

Idle ReferenceIdle(int seconds)
{
    QTimer clock;
    clock.setTimerType(Qt::PreciseTimer);
    clock.start(int(TickMs));
    return IdleOf(&clock, &QTimer::timeout, seconds);
}

double StatusMb(const char *field)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return NAN;
}

struct Flood {
    double seconds = 0, longestBlockMs = 0, idleBlockMs = 0, baseMb = 0, peakMb = 0;
    QString logProblem;
};

// Longest gap between the beats of a 1 ms timer while the loop runs until done().
double LongestBlockMs(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    clock.start();
    probe.start(1);
    RunUntil(done, timeoutMs);
    return longest / 1e6;
}

// Every flood line must follow the header, in order, with nothing else.
QString CheckLog(const QString &path, qint64 header, const FloodBlock &block, int repeats)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(header))
        return "cannot read the log";
    for (int i = 0; i < repeats; ++i) {
        if (file.read(block.Log.size()) != block.Log)
            return QString("log differs in block %1 of %2").arg(i + 1).arg(repeats);
    }
    return file.atEnd() ? QString() : "log holds more than the flood";
}

Flood QuillonFlood(const QString &log, const FloodBlock &block, int repeats)
{
    Flood result;
    Quillon q(log);
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    const int fd = OpenTcp(q, listenFd, port);
    const qint64 header = QFileInfo(log).size();
    const qint64 complete = header + block.Log.size() * repeats;

    QElapsedTimer idle;
    idle.start();
    result.idleBlockMs = LongestBlockMs([&] { return idle.elapsed() > 1000; }, 2000);
    result.baseMb = StatusMb("VmRSS:");
    QFile clearRefs("/proc/self/clear_refs"); // restarts the peak at the current size
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
    clearRefs.close();

    QElapsedTimer wall;
    wall.start();
    std::thread sender([&] { Loopback::SendRepeated(fd, block.Wire, repeats); });
    result.longestBlockMs = LongestBlockMs([&] { return QFileInfo(log).size() >= complete; }, 120000);
    result.seconds = wall.nsecsElapsed() / 1e9;
    result.peakMb = StatusMb("VmHWM:");
    sender.join();
    close(fd);
    close(listenFd);
    result.logProblem = CheckLog(log, header, block, repeats);
    return result;
}

// The same bytes through `nc | xxd > file`, timed from the connection to the pipeline's end.
double PipelineSeconds(const QString &hexFile, const FloodBlock &block, int repeats)
{
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    const QByteArray command =
        QString("nc 127.0.0.1 %1 </dev/null | xxd > '%2'").arg(port).arg(hexFile).toLocal8Bit();
    char *argv[] = {const_cast<char *>("sh"), const_cast<char *>("-c"), const_cast<char *>(command.constData()),
                    nullptr};
    pid_t shell = 0;
    if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, argv, environ) != 0)
        Die("cannot start the nc | xxd pipeline");
    const int fd = Loopback::Accept(listenFd, 5000);
    QElapsedTimer wall;
    wall.start();
    Loopback::SendRepeated(fd, block.Wire, repeats);
    close(fd);
    int status = 0;
    waitpid(shell, &status, 0);
    close(listenFd);
    return wall.nsecsElapsed() / 1e9;
}

double ReadLoopSeconds(const FloodBlock &block, int repeats)
{
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    std::thread reader([port] {
        const int fd = Loopback::Connect(port);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<char> buffer(256 * 1024);
        ssize_t n;
        while ((n = read(fd, buffer.data(), buffer.size())) > 0)
            Loopback::WriteAll(null, buffer.data(), n);
        close(null);
        close(fd);
    });
    const int fd = Loopback::Accept(listenFd, 5000);
    QElapsedTimer wall;
    wall.start();
    Loopback::SendRepeated(fd, block.Wire, repeats);
    close(fd);
    reader.join();
    close(listenFd);
    return wall.nsecsElapsed() / 1e9;
}

// ---- The table ----------------------------------------------------------------

struct Spread {
    double p50, p99, max;
};

Spread SpreadMs(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    const auto at = [&us](double q) { return us[std::min(us.size() - 1, size_t(q * us.size()))] / 1000; };
    return {at(0.50), at(0.99), us.back() / 1000};
}

QString Number(double v)
{
    if (std::isnan(v))
        return "-";
    const double a = std::fabs(v);
    return QString::number(v, 'f', a >= 1000 ? 0 : a >= 100 ? 1 : a >= 1 ? 2 : 3);
}

void Row(const QString &figure, double value, double reference, const QString &target = {}, int met = -1)
{
    const QString ratio = std::isnan(reference) || reference == 0 ? "-" : Number(value / reference) + "x";
    const QString verdict = met < 0 ? QString() : met ? "  met" : "  MISSED";
    std::printf("%-38s %11s %11s %9s   %s%s\n", qPrintable(figure), qPrintable(Number(value)),
                qPrintable(Number(reference)), qPrintable(ratio), qPrintable(target), qPrintable(verdict));
}

void Heading(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
}
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::signal(SIGPIPE, SIG_IGN); // a peer that goes away is reported, not fatal
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Measures Quillon's auto-reply latency, inbound throughput, "
                                     "responsiveness and idle cost on loopback and pseudo-terminals.");
    parser.addHelpOption();
    parser.addOption({"quick", "A short run (seconds, not a minute): fewer exchanges, 10 MB, 2 s idle."});
    parser.process(app);
    const bool quick = parser.isSet("quick");
    const int exchanges = quick ? 300 : 2000;
    const int floodMb = quick ? 10 : 50;
    const int idleSeconds = quick ? 2 : 10;

    QTemporaryDir dir;
    const auto file = [&dir](const char *name) { return dir.filePath(name); };
    const FloodBlock block(1000 * 1000);
    const int repeats = floodMb; // one block is about 1 MB

    if (qEnvironmentVariableIsSet("ONLYFLOOD")) { const Flood f = QuillonFlood(file("flood.log"), block, repeats); printf("%.2f MB/s block %.1f ms rss %.1f %s\n", block.Wire.size()*double(repeats)/1e6/f.seconds, f.longestBlockMs, f.peakMb, qPrintable(f.logProblem)); return 0; }
    Say(QString("auto-reply over TCP, %1 exchanges").arg(exchanges));
    const Spread tcp = SpreadMs(QuillonTcpLatency(file("tcp.log"), exchanges));
    const Spread tcpRef = SpreadMs(ReferenceTcpLatency(exchanges));
    if (qEnvironmentVariableIsSet("ONLYTCP")) { printf("%f %f %f | %f %f %f\n", tcp.p50, tcp.p99, tcp.max, tcpRef.p50, tcpRef.p99, tcpRef.max); return 0; }
    Say(QString("auto-reply over a pseudo-terminal at 115200 baud, %1 exchanges").arg(exchanges));
    const Spread pty = SpreadMs(QuillonPtyLatency(file("pty.log"), exchanges));
    const Spread ptyRef = SpreadMs(ReferencePtyLatency(exchanges));
    Say(QString("inbound flood over TCP, %1 MB").arg(floodMb));
    const Flood flood = QuillonFlood(file("flood.log"), block, repeats);
    const QString nc = QStandardPaths::findExecutable("nc"), xxd = QStandardPaths::findExecutable("xxd");
    const double pipeline = nc.isEmpty() || xxd.isEmpty() ? NAN : PipelineSeconds(file("flood.hex"), block, repeats);
    QFile::remove(file("flood.hex"));
    const double readLoop = ReadLoopSeconds(block, repeats);
    Say(QString("idle serial link, %1 s, then a bare 10 ms timer as long").arg(idleSeconds));
    const Idle idle = QuillonIdle(file("idle.log"), idleSeconds);
    const Idle idleRef = ReferenceIdle(idleSeconds);

    const double mb = double(block.Wire.size()) * repeats / 1e6;
    const double packets = double(block.Packets) * repeats;
    std::printf("\nQuillon benchmark%s: %d exchanges, %.1f MB flood (%.0f packets), %d s idle\n",
                quick ? " (quick)" : "", exchanges, mb, packets, idleSeconds);
    std::printf("%-38s %11s %11s %9s   %s\n", "", "Quillon", "reference", "ratio", "target");
    Heading("1. auto-reply over TCP, display on, log open (ms)  [ref: minimal C++ responder]");
    Row("   p50", tcp.p50, tcpRef.p50);
    Row("   p99", tcp.p99, tcpRef.p99, "<= 3x and < 1 ms", tcp.p99 <= 3 * tcpRef.p99 && tcp.p99 < 1);
    Row("   max", tcp.max, tcpRef.max);
    Heading("2. auto-reply over a pty at 115200 baud (ms)  [ref: minimal C++ responder on a pty]");
    Row("   p50", pty.p50, ptyRef.p50);
    Row("   p99", pty.p99, ptyRef.p99);
    Row("   max", pty.max, ptyRef.max);
    Row("   max in service ticks (10 ms)", pty.max / TickMs, 1, "about one tick", pty.max <= 1.2 * TickMs);
    Heading("3. inbound throughput over TCP, display on, log open");
    if (std::isnan(pipeline))
        Heading("   (nc or xxd not found: the nc | xxd reference is skipped)");
    Row("   MB/s  [ref: nc | xxd > file]", mb / flood.seconds, mb / pipeline, ">= 1x",
        std::isnan(pipeline) ? -1 : flood.seconds <= pipeline);
    Row("   MB/s  [ref: read loop > /dev/null]", mb / flood.seconds, mb / readLoop);
    Row("   packets/s  [ref: nc | xxd, same bytes]", packets / flood.seconds, packets / pipeline);
    std::printf("   log complete: %s\n",
                flood.logProblem.isEmpty() ? qPrintable(QString("yes, every one of %1 lines").arg(packets, 0, 'f', 0))
                                           : qPrintable("NO: " + flood.logProblem));
    Heading("4. responsiveness during the flood  [ref: same probe, idle loop / size before]");
    Row("   longest event-loop block (ms)", flood.longestBlockMs, flood.idleBlockMs, "<= 50 ms",
        flood.longestBlockMs <= 50);
    Row("   peak resident memory (MB)", flood.peakMb, flood.baseMb, "< 150 MB", flood.peakMb < 150);
    Heading("5. idle serial link, no traffic  [ref: bare 10 ms Qt timer]");
    Row("   CPU (% of one core)", idle.cpuPercent, idleRef.cpuPercent, "< 2 %", idle.cpuPercent < 2);
    Row("   ticks per second", idle.ticksPerSecond, idleRef.ticksPerSecond, ">= 95", idle.ticksPerSecond >= 95);
    return 0;
}
