// quillon-bench: drives the real main window, links and log file against its own
// peers on 127.0.0.1 and on pseudo-terminals, and prints each figure beside the best
// this machine does without Quillon, measured in the same run.
#include "loopback.h"
#include "soak.h"

#include "app/filedialog.h"
#include "app/pulseclock.h"
#include "app/session.h"
#include "app/sessionthread.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace {
const QByteArray Match("\x05\x00\x68\x6A\xF1\x3F", 6); // the default match packet
const QByteArray Reply("\x03\x01\x02\x03", 4);
const double TickMs = 10;
// Before each request the peer waits a random time up to this, as a device does
// between messages: every exchange then meets Quillon as a device would find it.
const int DevicePauseUs = 2000;

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

void Wake()
{
    QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
}

// One Quillon as the program starts it: the run on its own thread over the real driver
// and socket control, the main window here, a log open and the reply to the match
// packet typed in. Driven through the window's handlers, as the user does.
struct Quillon {
    SessionReports Shown;
    SessionThread Thread{Shown, LineWindow::MaxRows};
    BenchFileDialog Files;
    std::unique_ptr<Form1> Form{new Form1(Thread.Run(), Shown, true, Files)};

    explicit Quillon(const QString &logPath)
    {
        Form->show();
        Form->InitVariables();
        Files.Name = logPath;
        Form->SelectLogFile_Click();
        if (!RunUntil([&] { return Form->Text2->text() == logPath + " - Active"; }, 5000))
            Die("cannot open the log " + logPath);
        Form->Text5->setText(QString::fromLatin1(Reply.toHex(' ')));
    }

    // "Configure Comms", the options, the device or address, "Initialize"; false when the
    // link status does not say it opened.
    bool Open(int dataPipe, qint16 comSpeed, const QString &where, int port, const QString &opened)
    {
        Form->ConfigComPort_Click();
        Form2 *config = Form->ConfigDialog();
        if (!RunUntil([config] { return config->isVisible(); }, 5000))
            return false;
        config->SelectOptions(1, comSpeed, dataPipe);
        if (dataPipe == 1)
            config->ComxDevice[1]->setText(where);
        else
            config->SetAddress(where, port);
        config->Initialize_Click();
        return RunUntil([&] { return Form->Text3->text().startsWith(opened); }, 5000);
    }

    // Opens the Ethernet link to a peer listening on 127.0.0.1 and returns the peer's end.
    int OpenTcp()
    {
        int port = 0;
        const int listenFd = Loopback::Listen(&port);
        if (!Open(2, 2, "127.0.0.1", port, "Ethernet IP address"))
            Die("Quillon did not connect over TCP");
        const int fd = Loopback::Accept(listenFd, 5000);
        close(listenFd);
        return fd;
    }

    // comSpeed 5 is 115200 baud, 4 is 57600.
    void OpenSerial(const QString &device, qint16 comSpeed = 5)
    {
        if (!Open(1, comSpeed, device, 0, "COM1:"))
            Die("Quillon did not open the pseudo-terminal " + device);
    }
};

// The peer plays the device in a thread while the GUI thread runs Quillon.
std::vector<double> Exchanges(int fd, int count, int pauseUs)
{
    std::vector<double> us;
    std::atomic<bool> done{false};
    std::thread peer([&] {
        us = Loopback::PingPong(fd, Match, Reply, count, pauseUs);
        done = true;
        Wake();
    });
    RunUntil([&] { return done.load(); }, 300000);
    peer.join();
    if (int(us.size()) < count)
        Die(QString("auto-reply stopped after %1 of %2 exchanges").arg(us.size()).arg(count));
    return us;
}

std::vector<double> QuillonTcp(const QString &log, int count, int pauseUs)
{
    Quillon q(log);
    const int fd = q.OpenTcp();
    auto us = Exchanges(fd, count, pauseUs);
    close(fd);
    return us;
}

// Every tick phase is met: the peer waits a random part of a tick before each send.
std::vector<double> QuillonPty(const QString &log, int count)
{
    Loopback::Pty pty;
    Quillon q(log);
    q.OpenSerial(pty.Path);
    return Exchanges(pty.Master, count, int(TickMs * 1000));
}

// The floor: the same peer against a minimal responder thread on the other end.
std::vector<double> Reference(int peerFd, int responderFd, int count, int pauseUs)
{
    std::thread responder([=] { Loopback::Respond(responderFd, Match.size(), Reply); });
    auto us = Loopback::PingPong(peerFd, Match, Reply, count, pauseUs);
    close(peerFd); // ends the responder's read
    responder.join();
    close(responderFd);
    return us;
}

std::vector<double> ReferenceTcp(int count, int pauseUs)
{
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    const int responderFd = Loopback::Connect(port);
    const int peerFd = Loopback::Accept(listenFd, 5000);
    close(listenFd);
    return Reference(peerFd, responderFd, count, pauseUs);
}

std::vector<double> ReferencePty(int count)
{
    Loopback::Pty pty;
    const int master = std::exchange(pty.Master, -1), slave = std::exchange(pty.Slave, -1);
    return Reference(master, slave, count, int(TickMs * 1000));
}

struct Idle {
    double cpuPercent, ticksPerSecond;
};

double CpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// CPU of the whole process and ticks counted while the loop runs idle.
// Ticks are counted on the clock's own thread.
template <typename Clock, typename Signal> Idle IdleOf(Clock *clock, Signal signal, int seconds)
{
    const auto ticks = std::make_shared<std::atomic<qint64>>(0);
    const QMetaObject::Connection counting = QObject::connect(clock, signal, clock, [ticks] { ++*ticks; });
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunUntil([] { return false; }, seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9, used = CpuSeconds() - cpu;
    QObject::disconnect(counting);
    return {100 * used / elapsed, double(*ticks) / elapsed};
}

Idle QuillonIdle(const QString &log, int seconds)
{
    Loopback::Pty pty;
    Quillon q(log);
    q.OpenSerial(pty.Path);
    Session &run = q.Thread.Run();
    PulseClock *clock = nullptr; // asked on the session's thread
    QMetaObject::invokeMethod(&run, [&] { clock = run.Timer(); }, Qt::BlockingQueuedConnection);
    return IdleOf(clock, &PulseClock::Timer, seconds);
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

// Longest gap between the beats of a 1 ms timer while the loop runs until done().
double LongestBlockMs(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = qMax(longest, clock.nsecsElapsed() - last);
        last = clock.nsecsElapsed();
    });
    clock.start();
    probe.start(1);
    if (!RunUntil(done, timeoutMs))
        Die("the flood did not complete in time");
    return longest / 1e6;
}

bool SendFlood(int fd, const FloodBlock &block, int repeats)
{
    for (int i = 0; i < repeats; ++i) {
        if (!Loopback::WriteAll(fd, block.Wire.constData(), block.Wire.size()))
            return false;
    }
    return true;
}

// Every flood line must follow the header, in order, and nothing else.
QString CheckLog(const QString &path, qint64 header, const FloodBlock &block, int repeats)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(header))
        return "cannot read the log";
    for (int i = 0; i < repeats; ++i) {
        if (file.read(block.Log.size()) != block.Log)
            return QString("differs in block %1 of %2").arg(i + 1).arg(repeats);
    }
    return file.atEnd() ? QString() : "holds more than the flood";
}

struct Flood {
    double seconds, longestBlockMs, idleBlockMs, baseMb, peakMb;
    QString logProblem;
};

// Clicks "Clear" every 50 ms from another thread, as the window system posts a click,
// until destroyed; each click's time until the traffic list is next painted goes to Ms.
class ClearClicks : public QObject {
public:
    std::vector<double> Ms;

    explicit ClearClicks(Form1 &form) : Clear(form.ClearCommWindow)
    {
        form.List1->viewport()->installEventFilter(this);
        connect(Clear, &QPushButton::clicked, this, [this] { Clicked = true; });
        Clock.start();
        Clicker = std::thread([this] {
            const QPointF at = QRectF(Clear->rect()).center(), global = Clear->mapToGlobal(at);
            while (!Stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                PostedNs = Clock.nsecsElapsed();
                Answered = false;
                QCoreApplication::postEvent(Clear, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                                   Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(Clear, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
                while (!Answered && !Stop)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    ~ClearClicks() override
    {
        Stop = true;
        Clicker.join();
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && Clicked) {
            Clicked = false;
            Ms.push_back((Clock.nsecsElapsed() - PostedNs) / 1e6);
            Answered = true;
        }
        return false;
    }

private:
    QPushButton *Clear;
    QElapsedTimer Clock;
    std::thread Clicker;
    std::atomic<qint64> PostedNs{0};
    std::atomic<bool> Stop{false}, Answered{false};
    bool Clicked = false;
};

// The flood with clicks on "Clear" (which drop the packet being framed, so the log is
// not checked): each click's time until it shows.
std::vector<double> ClearDuringFlood(const QString &log, const FloodBlock &block, int repeats)
{
    Quillon q(log);
    const int fd = q.OpenTcp();
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        SendFlood(fd, block, repeats);
        sent = true;
        Wake();
    });
    std::vector<double> ms;
    {
        ClearClicks clicks(*q.Form);
        RunUntil([&] { return sent.load(); }, 300000);
        ms = clicks.Ms;
    }
    sender.join();
    close(fd);
    return ms;
}

Flood QuillonFlood(const QString &log, const FloodBlock &block, int repeats)
{
    Quillon q(log);
    const int fd = q.OpenTcp();
    const qint64 header = QFileInfo(log).size();
    const qint64 complete = header + block.Log.size() * repeats;
    Flood result{};
    QElapsedTimer wall;
    wall.start();
    result.idleBlockMs = LongestBlockMs([&] { return wall.elapsed() > 1000; }, 2000);
    result.baseMb = StatusMb("VmRSS:");
    QFile peak("/proc/self/clear_refs"); // restarts the peak at the current size
    if (peak.open(QIODevice::WriteOnly))
        peak.write("5");
    peak.close();

    wall.start();
    std::thread sender([&] { SendFlood(fd, block, repeats); });
    result.longestBlockMs = LongestBlockMs([&] { return QFileInfo(log).size() >= complete; }, 300000);
    result.seconds = wall.nsecsElapsed() / 1e9;
    result.peakMb = StatusMb("VmHWM:");
    sender.join();
    close(fd);
    result.logProblem = CheckLog(log, header, block, repeats);
    return result;
}

// The same flood to another consumer, timed from its connection to finish().
double Serve(const FloodBlock &block, int repeats, const std::function<void(int port)> &start,
             const std::function<void()> &finish)
{
    int port = 0;
    const int listenFd = Loopback::Listen(&port);
    start(port);
    const int fd = Loopback::Accept(listenFd, 5000);
    close(listenFd);
    QElapsedTimer wall;
    wall.start();
    if (fd < 0 || !SendFlood(fd, block, repeats))
        Die("a reference consumer went away");
    close(fd);
    finish();
    return wall.nsecsElapsed() / 1e9;
}

// The hex dump pipeline an engineer might use instead: nc 127.0.0.1 PORT | xxd > file.
double PipelineSeconds(const FloodBlock &block, int repeats, const QString &hexFile)
{
    pid_t shell = 0;
    return Serve(block, repeats, [&](int port) {
        const QByteArray command =
            QString("nc 127.0.0.1 %1 </dev/null | xxd > '%2'").arg(port).arg(hexFile).toLocal8Bit();
        const char *argv[] = {"sh", "-c", command.constData(), nullptr};
        if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
            Die("cannot start nc | xxd");
    }, [&] { waitpid(shell, nullptr, 0); });
}

double ReadLoopSeconds(const FloodBlock &block, int repeats)
{
    std::thread reader;
    return Serve(block, repeats, [&](int port) {
        reader = std::thread([port] {
            const int fd = Loopback::Connect(port), null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            std::vector<char> buffer(256 * 1024);
            for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;)
                Loopback::WriteAll(null, buffer.data(), n);
            close(null);
            close(fd);
        });
    }, [&] { reader.join(); });
}

// A device streaming without pause at the line's own rate, over a pseudo-terminal
// (which has no rate of its own): how long after its sending does the last packet
// show in the traffic window? Each 16-byte packet carries its number.
struct Lag {
    double lastMs, halfwayMs;
};

Lag SerialLag(const QString &log, qint16 comSpeed, int baud, int seconds)
{
    Loopback::Pty pty;
    Quillon q(log);
    q.OpenSerial(pty.Path, comSpeed);
    const int packetSize = 16, packets = int(qint64(baud) / 10 * seconds / packetSize);
    std::vector<qint64> sentNs(packets, 0), shownNs(packets, 0);
    QElapsedTimer clock;
    clock.start();
    int shown = 0;
    QObject::connect(q.Form->List1->model(), &QAbstractItemModel::rowsInserted, q.Form.get(),
                     [&](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row) {
            // "--> 0F nn nn nn nn ..." : the number is the first four payload bytes.
            const QStringList bytes = q.Form->List1->item(row)->text().mid(4).split(' ', Qt::SkipEmptyParts);
            const int number = bytes.mid(1, 4).join("").toInt(nullptr, 16);
            if (bytes.size() > 4 && number < packets && shownNs[number] == 0) {
                shownNs[number] = clock.nsecsElapsed();
                ++shown;
            }
        }
    });
    std::thread device([&] {
        const double bytesPerNs = baud / 10 / 1e9;
        for (int i = 0; i < packets; ++i) {
            while ((i + 1) * packetSize > clock.nsecsElapsed() * bytesPerNs)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            QByteArray packet(packetSize, char(0xA5));
            packet[0] = 0x0F;
            for (int b = 0; b < 4; ++b)
                packet[1 + b] = char(i >> (24 - 8 * b));
            sentNs[i] = clock.nsecsElapsed();
            Loopback::WriteAll(pty.Master, packet.constData(), packet.size());
        }
        Wake();
    });
    const bool all = RunUntil([&] { return shownNs[packets - 1] != 0; }, (seconds + 600) * 1000);
    device.join();
    if (!all)
        Die("the streamed packets did not all show");
    const auto lagMs = [&](int i) { return (shownNs[i] - sentNs[i]) / 1e6; };
    return {lagMs(packets - 1), lagMs(packets / 2)};
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

// met: 1 met, 0 missed, -1 no target.
void Row(const char *figure, double value, double reference, const char *target = "", int met = -1)
{
    const QString ratio = std::isnan(reference) || reference == 0 ? "-" : Number(value / reference) + "x";
    std::printf("  %-40s %10s %10s %8s   %s%s\n", figure, qPrintable(Number(value)), qPrintable(Number(reference)),
                qPrintable(ratio), target, met < 0 ? "" : met ? "  met" : "  MISSED");
}

void Rows(const Spread &quillon, const Spread &reference, const char *target, bool met)
{
    Row("p50", quillon.p50, reference.p50);
    Row("p99", quillon.p99, reference.p99, target, *target ? met : -1);
    Row("max", quillon.max, reference.max);
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
    parser.addOption({"quick", "A short run (about 25 s): fewer exchanges, a 10 MB flood, 2 s idle."});
    parser.addOption({"lag", "Only the lag of a continuous serial stream, fed for SECONDS at 115200 and at 57600 baud.",
                      "SECONDS"});
    parser.addOption({"soak", "Only the endurance run against quillon-device, for MINUTES.", "MINUTES"});
    parser.addOption({"reconnect", "With --soak: the dropped link comes back by Bench > Reconnect When Lost, "
                                   "nobody presses anything."});
    parser.addOption({"answers", "With --soak: answer rules too, one of them delayed, answering the stream."});
    parser.addOption({"flood", "Only the inbound flood over TCP, MB megabytes: a run to profile.", "MB"});
    parser.addOption({"small", "With --flood: the stream of small packets (about 60 bytes a packet)."});
    parser.addOption({"answer", "Only the auto-reply over TCP, N exchanges paced as in the full run: a run to profile.",
                      "N"});
    parser.process(app);
    if (parser.isSet("flood")) {
        QTemporaryDir dir;
        const FloodBlock block(1000 * 1000, parser.isSet("small"));
        const int repeats = qMax(1, parser.value("flood").toInt());
        const Flood flood = QuillonFlood(dir.filePath("flood.log"), block, repeats);
        std::printf("Inbound flood on %s: %.1f MB/s, %.0f packets/s, log %s\n", qPrintable(DisplayName()),
                    block.Wire.size() * repeats / 1e6 / flood.seconds, block.Packets * repeats / flood.seconds,
                    flood.logProblem.isEmpty() ? "complete" : qPrintable(flood.logProblem));
        return 0;
    }
    if (parser.isSet("answer")) {
        QTemporaryDir dir;
        const int count = qMax(1, parser.value("answer").toInt());
        const Spread tcp = SpreadMs(QuillonTcp(dir.filePath("tcp.log"), count, DevicePauseUs));
        const Spread ref = SpreadMs(ReferenceTcp(count, DevicePauseUs));
        std::printf("Auto-reply over TCP on %s, %d exchanges (ms)\n", qPrintable(DisplayName()), count);
        Rows(tcp, ref, "", false);
        return 0;
    }
    if (parser.isSet("soak")) {
        bool ok = false;
        const double minutes = parser.value("soak").toDouble(&ok);
        if (!ok || minutes <= 0)
            Die("--soak takes a number of minutes");
        return RunSoak(minutes, parser.isSet("reconnect"), parser.isSet("answers"));
    }
    if (parser.isSet("lag")) {
        const int seconds = parser.value("lag").toInt();
        QTemporaryDir dir;
        std::printf("Continuous stream over a pseudo-terminal at the line's rate for %d s, display on, log open\n",
                    seconds);
        for (const auto &[comSpeed, baud] : {std::pair<qint16, int>{5, 115200}, {4, 57600}}) {
            const Lag lag = SerialLag(dir.filePath("lag.log"), comSpeed, baud, seconds);
            std::printf("  %6d baud: last packet shown %.1f ms after its sending (halfway: %.1f ms)\n", baud,
                        lag.lastMs, lag.halfwayMs);
        }
        return 0;
    }
    const bool quick = parser.isSet("quick");
    const int exchanges = quick ? 300 : 3000, repeats = quick ? 10 : 50, idleSeconds = quick ? 2 : 10;

    QTemporaryDir dir;
    const auto file = [&dir](const char *name) { return dir.filePath(name); };
    QFile loadavg("/proc/loadavg");
    loadavg.open(QIODevice::ReadOnly);
    const QByteArray load = loadavg.readAll().split(' ').value(0);
    // Each sent `repeats` times: MB of flood.
    const FloodBlock block(1000 * 1000, false), small(1000 * 1000, true);

    Say("windows painted on " + DisplayName());
    Say(QString("auto-reply over TCP, %1 exchanges paced, then as many back to back").arg(exchanges));
    const Spread tcp = SpreadMs(QuillonTcp(file("tcp.log"), exchanges, DevicePauseUs));
    const Spread tcpRef = SpreadMs(ReferenceTcp(exchanges, DevicePauseUs));
    const Spread burst = SpreadMs(QuillonTcp(file("burst.log"), exchanges, 0));
    const Spread burstRef = SpreadMs(ReferenceTcp(exchanges, 0));
    Say(QString("auto-reply over a pseudo-terminal, %1 exchanges").arg(exchanges));
    const Spread pty = SpreadMs(QuillonPty(file("pty.log"), exchanges));
    const Spread ptyRef = SpreadMs(ReferencePty(exchanges));
    Say(QString("inbound flood over TCP, %1 MB").arg(repeats));
    const Flood flood = QuillonFlood(file("flood.log"), block, repeats);
    const bool haveNc = !QStandardPaths::findExecutable("nc").isEmpty();
    const bool haveXxd = !QStandardPaths::findExecutable("xxd").isEmpty();
    const double pipeline = haveNc && haveXxd ? PipelineSeconds(block, repeats, file("flood.hex")) : NAN;
    QFile::remove(file("flood.hex"));
    const double readLoop = ReadLoopSeconds(block, repeats);
    Say(QString("inbound flood over TCP, %1 MB of small packets, then again with clicks on \"Clear\"").arg(repeats));
    const Flood smallFlood = QuillonFlood(file("small.log"), small, repeats);
    const double smallPipeline = haveNc && haveXxd ? PipelineSeconds(small, repeats, file("small.hex")) : NAN;
    QFile::remove(file("small.hex"));
    std::vector<double> clears = ClearDuringFlood(file("clear.log"), small, 4 * repeats);
    std::sort(clears.begin(), clears.end());
    Say(QString("idle serial link for %1 s, then a bare 10 ms timer as long").arg(idleSeconds));
    const Idle idle = QuillonIdle(file("idle.log"), idleSeconds);
    const Idle idleRef = ReferenceIdle(idleSeconds);

    const double mb = double(block.Wire.size()) * repeats / 1e6, packets = double(block.Packets) * repeats;
    const double smallPackets = double(small.Packets) * repeats;
    std::printf("\nQuillon benchmark%s, on 127.0.0.1 and pseudo-terminals; load average before: %s\n",
                quick ? " (quick)" : "", load.constData());
    std::printf("Windows painted on: %s\n", qPrintable(DisplayName()));
    std::printf("  %-40s %10s %10s %8s   %s\n", "", "Quillon", "reference", "ratio", "target");
    std::printf("1. auto-reply over TCP, display on, log open, %d exchanges (ms)\n"
                "   [ref: the same peer against a minimal C++ responder on loopback]\n", exchanges);
    std::printf(" device pausing 0-%d ms before each request:\n", DevicePauseUs / 1000);
    Rows(tcp, tcpRef, "p99 <= 1.5x, max < 1 ms", tcp.p99 <= 1.5 * tcpRef.p99 && tcp.max < 1);
    std::printf(" back to back (the next request as soon as the reply is in):\n");
    Rows(burst, burstRef, "", false);
    // The request (6 bytes) and the answer (4) at ten bits a byte.
    const double lineMs = 10 * 10 / 115.2;
    std::printf("2. auto-reply over a pseudo-terminal at 115200 baud, %d exchanges (ms)\n"
                "   [ref: minimal C++ responder on a pseudo-terminal; device pauses 0-10 ms]\n", exchanges);
    Rows(pty, ptyRef, qPrintable(QString("p99 <= %1 ms (1 ms + line time)").arg(1 + lineMs, 0, 'f', 2)),
         pty.p99 <= 1 + lineMs);
    std::printf("3. inbound flood over TCP, display on, log open: %.1f MB, %.0f packets\n", mb, packets);
    if (std::isnan(pipeline))
        std::printf("   (nc or xxd not installed: the nc | xxd reference is skipped)\n");
    Row("MB/s  [ref: nc | xxd > file]", mb / flood.seconds, mb / pipeline, ">= 1.5x",
        std::isnan(pipeline) ? -1 : 1.5 * flood.seconds <= pipeline);
    Row("MB/s  [ref: read loop > /dev/null]", mb / flood.seconds, mb / readLoop);
    Row("packets/s  [ref: nc | xxd]", packets / flood.seconds, packets / pipeline);
    std::printf("  log complete: %s\n", flood.logProblem.isEmpty()
                    ? qPrintable(QString("yes, all %1 lines in order").arg(packets, 0, 'f', 0))
                    : qPrintable("NO, the log " + flood.logProblem));
    std::printf("4. inbound flood of small packets over TCP, display on, log open: %.1f MB, %.0f packets\n", mb,
                smallPackets);
    Row("MB/s  [ref: nc | xxd > file]", mb / smallFlood.seconds, mb / smallPipeline);
    Row("packets/s  [ref: nc | xxd]", smallPackets / smallFlood.seconds, smallPackets / smallPipeline,
        ">= 1,000,000", smallPackets / smallFlood.seconds >= 1e6);
    std::printf("  log complete: %s\n", smallFlood.logProblem.isEmpty()
                    ? qPrintable(QString("yes, all %1 lines in order").arg(smallPackets, 0, 'f', 0))
                    : qPrintable("NO, the log " + smallFlood.logProblem));
    std::printf("5. responsiveness during the floods  [ref: same probe over the idle loop / before]\n");
    Row("longest event-loop block (ms)", flood.longestBlockMs, flood.idleBlockMs, "<= 50 ms", flood.longestBlockMs <= 50);
    Row("  the same, small packets", smallFlood.longestBlockMs, smallFlood.idleBlockMs, "<= 50 ms",
        smallFlood.longestBlockMs <= 50);
    if (clears.empty()) {
        std::printf("  (no click on \"Clear\" was answered)\n");
    } else {
        std::printf("  %zu clicks on \"Clear\" during the small flood, until the list is painted (ms):\n", clears.size());
        Row("  p50", clears[clears.size() / 2], NAN);
        Row("  max", clears.back(), NAN, "<= 20 ms", clears.back() <= 20);
    }
    Row("peak resident memory (MB)", flood.peakMb, flood.baseMb, "< 150 MB", flood.peakMb < 150);
    std::printf("6. idle serial link, no traffic, %d s  [ref: a bare 10 ms Qt timer]\n", idleSeconds);
    Row("CPU (% of one core)", idle.cpuPercent, idleRef.cpuPercent, "<= 0.5 %", idle.cpuPercent <= 0.5);
    Row("ticks per second", idle.ticksPerSecond, idleRef.ticksPerSecond, "100 (>= 99.5)", idle.ticksPerSecond >= 99.5);
    return 0;
}
