// The endurance run: the real main window, over the real socket control, against
// quillon-device streaming random packets of every header kind in split deliveries,
// with a looping script and the match reply firing, and with --answers answer rules
// too. The device drops the link every 20 s; the link is reopened through Configure
// Comms and the dialog's Initialize, or with --reconnect by "Bench" > "Reconnect When
// Lost" alone.
// The log is checked line by line as it grows, so that a long run needs no room.
#include "soak.h"

#include "app/filedialog.h"
#include "app/session.h"
#include "app/sessionreports.h"
#include "app/sessionthread.h"
#include "windows/answerswindow.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QAction>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
const int DropEveryMs = 20000;
const int StreamPackets = 2000; // then the stream starts over
const int MaxPayload = 1000;    // long enough for header 12 lengths above 255
const int MatchEveryMs = 250;
const char *MatchHex = "05 00 68 6A F1 3F";
const char *ReplyHex = "03 01 02 03";
const char *ScriptDelayMs = "50";
// With --answers: packets of header 01 answered at once, of header 02 after 50 ms.
const QList<AnswerRule> SoakAnswers{{true, "01 ??", "44 01", 0}, {true, "02 ?? ??", "44 02 02", 50}};
const qint64 TruncateAt = 64 * 1024 * 1024; // the log is emptied once checked this far
const double GrowthLimitMb = 5;

// Upper case throughout: the runner upper-cases what it logs.
const char *ScriptText = "; SOAK SCRIPT\r\n"
                         "ECHO SOAK PASS\r\n"
                         "01 02\r\n"
                         "ECHO OFF\r\n"
                         "22 01 AA\r\n"
                         "ECHO ON\r\n"
                         "33 00 01 02 03 04 05 06 07\r\n";

// Presses "Initialize" once the dialog shows, as the user does after "Configure Comms".
class InitializeWhenShown : public QObject {
public:
    explicit InitializeWhenShown(Form2 *config) : Config(config) { Config->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, Config, &Form2::Initialize_Click);
        return false;
    }

private:
    Form2 *Config;
};

class SoakFiles : public FileDialog {
public:
    QString Log, Script;
    bool Ask(const FileRequest &request, QString *name) override
    {
        *name = request.filter.contains("*.log") ? Log : Script;
        return true;
    }
};

double RssMb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return NAN;
}

QByteArray Bytes(const char *hex) { return QByteArray::fromHex(hex); }

// Every log line must be, in order, the device's stream (from its start on each
// connection), or one of what else the run sends and receives: the match packet,
// the device's answers to commands, the script's and the auto-reply's lines. A
// reconnect's markers show where the gap was; the packet the drop cut comes just
// before the first.
class LogChecker {
public:
    LogChecker(const QString &path, std::vector<QByteArray> expected, const QString &scriptPath)
        : Path(path), Expected(std::move(expected)), Buffer(1024 * 1024)
    {
        File.setFileName(path);
        File.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        Commands = {Bytes("0102"), Bytes("2201AA"), Bytes("330001020304050607"), Bytes(ReplyHex)};
        Others = {"", "; SOAK SCRIPT", "SOAK PASS", "<<- 01 02 ", "<<- 22 01 AA ",
                  "<<- 33 00 01 02 03 04 05 06 07 ", "### Script file completed.",
                  "### Start Script File: " + scriptPath.toLocal8Bit()};
        for (const AnswerRule &answer : SoakAnswers) {
            Commands.push_back(Bytes(answer.reply.toLatin1()));
            Others.insert("<-- " + answer.reply.toLatin1() + " ");
        }
        Match = "--> " + QByteArray(MatchHex) + " ";
        AutoReply = "<-- " + QByteArray(ReplyHex) + " ";
    }

    // Checks the lines the log gained since the last call.
    void Take()
    {
        for (;;) {
            File.seek(Offset);
            const qint64 n = File.read(Buffer.data(), qint64(Buffer.size()));
            if (n <= 0)
                break;
            Offset += n;
            qint64 start = 0;
            for (qint64 i = 0; i < n; ++i) {
                if (Buffer[size_t(i)] != '\n')
                    continue;
                if (Rest.isEmpty()) {
                    Check(QByteArrayView(Buffer.data() + start, i - start));
                } else {
                    Rest.append(Buffer.data() + start, i - start);
                    Check(Rest);
                    Rest.truncate(0);
                }
                start = i + 1;
            }
            Rest.append(Buffer.data() + start, n - start);
        }
    }

    // Checked this far, the log is emptied (Empty) lest it fill the disk.
    bool Full() const { return Offset >= TruncateAt; }
    // Takes the last lines and empties the log. Called on the session's thread, between
    // two of its handlers, so that no line is written between the two.
    void Empty()
    {
        Take();
        if (::truncate(QFile::encodeName(Path).constData(), 0) == 0)
            Offset = 0;
    }

    qint64 Lines = 0, Stream = 0, Matches = 0, Replies = 0, AutoReplies = 0, Answers = 0, Mismatches = 0, Gaps = 0,
           Cut = 0;
    QStringList FirstMismatches;

private:
    void Check(QByteArrayView line)
    {
        if (line.endsWith('\r'))
            line.chop(1);
        ++Lines;
        if (HeaderLeft > 0) { // "*****", name, date, time, "*****", ""
            --HeaderLeft;
            return;
        }
        // A packet the drop cut is written out at the gap, or without the option when the
        // next link opens, before the stream starts over; the stream must not go on.
        if (!HeldCut.isEmpty() && (line.startsWith("### Link lost: ") || line == Expected[0]))
            HeldCut.clear();
        else if (!HeldCut.isEmpty() && line == Expected[Next])
            Mismatch(std::exchange(HeldCut, {}));
        if (line != Expected[Next] && line == Expected[0]) // a new connection: the device starts over
            Next = 0;
        if (line == Expected[Next]) {
            Next = (Next + 1) % Expected.size();
            ++Stream;
        } else if (line == Match) {
            ++Matches;
        } else if (IsDeviceReply(line)) {
            ++Replies;
        } else if (line == AutoReply) {
            ++AutoReplies;
        } else if (line.startsWith("<-- 44 ") && Others.contains(line.toByteArray())) {
            ++Answers;
        } else if (line.startsWith("### Link lost: ")) {
            ++Gaps;
        } else if (line == "### Link back.") {
            Next = 0;
        } else if (IsCut(line)) {
            HeldCut = line.toByteArray();
            ++Cut;
        } else if (!Others.contains(line.toByteArray())) {
            Mismatch(line);
        }
    }

    void Mismatch(QByteArrayView line)
    {
        ++Mismatches;
        if (FirstMismatches.size() < 5)
            FirstMismatches << QString("line %1: \"%2\" where stream line %3 \"%4\" was due")
                                   .arg(Lines)
                                   .arg(QString::fromLatin1(line.first(qMin<qsizetype>(60, line.size())).toByteArray()))
                                   .arg(Next + 1)
                                   .arg(QString::fromLatin1(Expected[Next].left(60)));
    }

    // The start of the packet due, of the match packet or of a device answer.
    bool IsCut(QByteArrayView line) const
    {
        return line.startsWith("--> ")
            && (Expected[Next].startsWith(line) || Match.startsWith(line) || line.startsWith("--> 11 "));
    }

    // "--> 11 LL ..." whose bytes are commands sent, run together when they reached
    // the device within its 5 ms command gap.
    bool IsDeviceReply(QByteArrayView line) const
    {
        if (!line.startsWith("--> 11 "))
            return false;
        const QByteArray bytes = QByteArray::fromHex(line.sliced(4).toByteArray());
        if (bytes.size() < 2 || quint8(bytes[1]) != bytes.size() - 2)
            return false;
        const QByteArray payload = bytes.mid(2);
        std::vector<bool> reached(size_t(payload.size()) + 1, false);
        reached[0] = true;
        for (qsizetype at = 0; at < payload.size(); ++at) {
            if (!reached[size_t(at)])
                continue;
            for (const QByteArray &command : Commands) {
                if (payload.mid(at, command.size()) == command)
                    reached[size_t(at + command.size())] = true;
            }
        }
        return !payload.isEmpty() && reached.back();
    }

    QString Path;
    QFile File;
    qint64 Offset = 0;
    std::vector<QByteArray> Expected;
    size_t Next = 0;
    int HeaderLeft = 6;
    std::vector<char> Buffer;
    QByteArray Rest;
    std::vector<QByteArray> Commands;
    QSet<QByteArray> Others;
    QByteArray Match, AutoReply;
    QByteArray HeldCut; // a cut packet, which the gap's marker must follow
};

[[noreturn]] void Fail(const QString &why)
{
    std::fprintf(stderr, "quillon-bench --soak: %s\n", qPrintable(why));
    std::exit(1);
}

// Starts quillon-device beside this program; returns its TCP port.
int StartDevice(QProcess &device, const QString &expectPath)
{
    const QString program = QCoreApplication::applicationDirPath() + "/quillon-device";
    device.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    device.start(program, {"--tcp", "--port", "0", "--stream", QString::number(StreamPackets), "--seed", "7",
                           "--max-len", QString::number(MaxPayload), "--split", "--repeat", "--send", MatchHex,
                           "--every", QString::number(MatchEveryMs), "--drop-every", QString::number(DropEveryMs),
                           "--expect-file", expectPath});
    QByteArray announced;
    QElapsedTimer wait;
    wait.start();
    while (!announced.contains('\n') && wait.elapsed() < 10000 && device.waitForReadyRead(1000))
        announced += device.readAll();
    const int colon = announced.lastIndexOf(':');
    const int port = colon < 0 ? 0 : announced.mid(colon + 1).trimmed().toInt();
    if (!announced.startsWith("Device on 127.0.0.1:") || port <= 0)
        Fail("quillon-device did not start: " + program);
    return port;
}

std::vector<QByteArray> ReadExpected(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("no expect file from quillon-device");
    std::vector<QByteArray> lines;
    for (QByteArray line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.push_back(line);
    }
    if (int(lines.size()) != StreamPackets)
        Fail("the expect file does not hold the stream");
    return lines;
}
}

bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer limit;
    limit.start(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

QString DisplayName()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen")
        return "offscreen (painted in memory)";
    const QString server = qEnvironmentVariable("QUILLON_X_SERVER"); // set by ./dev when it started one
    return platform + " on " + qEnvironmentVariable("DISPLAY") + (server.isEmpty() ? "" : " (" + server + ")");
}

int RunSoak(double minutes, bool reconnect, bool answers)
{
    QTemporaryDir dir;
    const QString expectPath = dir.filePath("expect.txt"), logPath = dir.filePath("soak.log"),
                  scriptPath = dir.filePath("soak.dwn");
    QFile script(scriptPath);
    if (!script.open(QIODevice::WriteOnly) || script.write(ScriptText) < 0)
        Fail("cannot write the script");
    script.close();

    QProcess device;
    const int port = StartDevice(device, expectPath);

    // The run as the program runs it, on a thread of its own.
    SessionReports shown;
    SessionThread run(shown, LineWindow::MaxRows);
    SoakFiles files;
    files.Log = logPath;
    files.Script = scriptPath;
    Form1 form(run.Run(), shown, true, files);
    form.show();
    form.InitVariables();
    form.SelectLogFile_Click();
    if (!RunUntil([&] { return form.Text2->text() == logPath + " - Active"; }, 10000))
        Fail("cannot open the log " + logPath);
    LogChecker checker(logPath, ReadExpected(expectPath), scriptPath);
    form.Text5->setText(ReplyHex);
    form.Text7->setText(ScriptDelayMs);
    form.SelectScriptFile_Click();
    if (reconnect)
        form.findChild<QAction *>("BenchReconnect")->trigger();
    if (answers)
        form.AnswersDialog()->SetRules(SoakAnswers);
    Form2 *config = form.ConfigDialog();
    config->SelectOptions(1, 5, 2);
    config->SetAddress("127.0.0.1", port);

    qint64 connections = 0, drops = 0, scriptRuns = 0, unexpected = 0;
    QStringList firstUnexpected;
    // Through the window, as the user does: Configure Comms, then Initialize once the
    // dialog shows.
    InitializeWhenShown initialize(config);
    const auto reopen = [&] { form.ConfigComPort_Click(); };
    const QRegularExpression answersDropped("^\\d+ waiting answers? not sent: the link closed\\.$");
    const auto debug = [&](const QString &line) {
        if (line == "Ethernet connection pending." || line == "Ethernet connection closed."
            || answersDropped.match(line).hasMatch())
            return;
        if (line == "Ethernet connection complete.") {
            ++connections;
            return;
        }
        if (line.startsWith("Ethernet connection lost: ")) {
            ++drops;
            if (!reconnect)
                QTimer::singleShot(200, &form, reopen);
            return;
        }
        ++unexpected;
        if (firstUnexpected.size() < 5)
            firstUnexpected << line;
    };
    QObject::connect(&shown, &SessionReports::DebugLine, &form, debug);
    QObject::connect(config, &Form2::DebugLine, &form, debug);
    // The script loops: started again once it completes (not from within the tick).
    QObject::connect(&shown, &SessionReports::ScriptStatus, &form, [&](const QString &text) {
        if (text != "Completed.")
            return;
        ++scriptRuns;
        QTimer::singleShot(0, &form, [&form] { form.SendScriptFile_Click(); });
    });

    std::fprintf(stderr, "... soak for %.1f minutes on %s\n", minutes, qPrintable(DisplayName()));
    reopen();
    form.SendScriptFile_Click();

    const qint64 runMs = qint64(minutes * 60000);
    const qint64 warmUpMs = qBound(qint64(30000), runMs / 4, qint64(120000));
    double warmMb = NAN;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &form, [&] {
        checker.Take();
        if (checker.Full())
            QMetaObject::invokeMethod(&run.Run(), [&checker] { checker.Empty(); }, Qt::BlockingQueuedConnection);
    });
    check.start(500);
    QTimer::singleShot(int(qMin(warmUpMs, runMs)), &form, [&] { warmMb = RssMb(); });
    QTimer progress;
    QElapsedTimer wall;
    wall.start();
    QObject::connect(&progress, &QTimer::timeout, &form, [&] {
        std::fprintf(stderr, "... %.1f min: %lld log lines, %lld mismatches, %lld reconnects, RSS %.1f MB\n",
                     wall.elapsed() / 60000.0, checker.Lines, checker.Mismatches, qMax<qint64>(0, connections - 1),
                     RssMb());
    });
    progress.start(60000);
    QEventLoop loop;
    QTimer::singleShot(int(runMs), &loop, &QEventLoop::quit);
    loop.exec();
    const double endMb = RssMb();
    const double ranMinutes = wall.elapsed() / 60000.0;

    check.stop();
    config->removeEventFilter(&initialize);
    form.ConfigComPort_Click(); // the link closed; the log then holds everything received
    RunUntil([config] { return config->isVisible(); }, 10000);
    config->hide();
    form.CloseLogFile_Click();
    RunUntil([&] { return form.Text2->text().isEmpty(); }, 10000);
    checker.Take();
    device.terminate();
    device.waitForFinished(5000);

    const qint64 reconnects = qMax<qint64>(0, connections - 1);
    const double growth = endMb - warmMb;
    // With the option, the log marks every drop.
    const bool logOk = checker.Mismatches == 0 && checker.Stream > 0 && (!reconnect || checker.Gaps == drops);
    const bool memoryOk = growth < GrowthLimitMb;
    const bool linkOk = ranMinutes * 60000 < 2 * DropEveryMs || reconnects > 0;
    std::printf("\nQuillon soak on %s: %.1f minutes\n", qPrintable(DisplayName()), ranMinutes);
    std::printf("  packets received and logged   %lld  (stream %lld, match packets %lld, device answers %lld)\n",
                checker.Stream + checker.Matches + checker.Replies, checker.Stream, checker.Matches,
                checker.Replies);
    std::printf("  match replies sent            %lld\n", checker.AutoReplies);
    if (answers)
        std::printf("  answers sent                  %lld\n", checker.Answers);
    std::printf("  script runs completed         %lld\n", scriptRuns);
    std::printf("  link dropped by the device    %lld, %s %lld times%s\n", drops,
                reconnect ? "reconnected by the option" : "reopened through the window", reconnects,
                linkOk ? "" : "  NONE");
    if (reconnect)
        std::printf("  gaps marked in the log        %lld lost, %lld cut packets written out before them\n",
                    checker.Gaps, checker.Cut);
    std::printf("  log lines compared            %lld, mismatches %lld%s\n", checker.Lines, checker.Mismatches,
                logOk ? "" : "  FAILED");
    for (const QString &line : checker.FirstMismatches)
        std::printf("      %s\n", qPrintable(line));
    std::printf("  resident memory (MB)          after %.0f s warm-up %.1f, at end %.1f: grew %.1f  "
                "(target < %.0f MB%s)\n",
                qMin(warmUpMs, runMs) / 1000.0, warmMb, endMb, growth, GrowthLimitMb, memoryOk ? ": met" : ": MISSED");
    std::printf("  unexpected Debug lines        %lld%s\n", unexpected, unexpected == 0 ? "" : "  FAILED");
    for (const QString &line : firstUnexpected)
        std::printf("      %s\n", qPrintable(line));
    return logOk && memoryOk && linkOk && unexpected == 0 ? 0 : 1;
}
