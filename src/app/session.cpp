#include "app/session.h"

#include <QTime>

#include "app/pulseclock.h"
#include "datapipe/serialresult.h"
#include "datapipe/socketcontrol.h"
#include "display/trafficwrap.h"
#include "protocol/hextext.h"
#include "protocol/keybyte.h"
#include "protocol/matchpacket.h"

namespace {
// The service timer's settings.
constexpr qint32 TimerInterval = 10;
constexpr qint32 TimerResolution = 1;

struct Speed {
    int code;
    int baud;
    const char *status;
};
// ComSpeed 1..5 to the driver's speed code, the line speed and the status text.
const Speed Speeds[] = {{7, 9600, "9.6 kbaud"}, {8, 19200, "19.2 kbaud"}, {9, 38400, "38.4 kbaud"},
                        {10, 57600, "57.6 kbaud"}, {11, 115200, "115.2 kbaud"}};

// Bytes one serial tick may take: what the line carries in two ticks (ten bits a
// byte), so that a continuous stream never falls behind, and never fewer than 101.
int SerialTickBound(int baud)
{
    const int twoTicks = (baud * 2 * TimerInterval + 9999) / 10000;
    return qMax(101, twoTicks);
}
}

Session::Session(SerialDriver &driver, SocketControl &socket, QObject *parent)
    : SessionReports(parent), Driver(driver), Winsock1Data(socket),
      Pipe(driver, socket, [this](const QString &line) { Post(line); }), Script(*this),
      Ports(dynamic_cast<PortTable *>(&driver))
{
    Log.OnFailure = [this](const QString &line) { LogFailed(line); };
    Driver.BytesArrived = [this] { SerialBytesArrived(); };
    WaitingAnswers.Send = [this](const QString &reply, bool fromTimer) {
        SendCommandText(reply, false);
        if (fromTimer) // a handler of its own; a packet's handler flushes when it returns
            Log.Flush();
    };
    connect(&Retry, &Reconnect::TryDue, this, &Session::Retry_TryDue);
    connect(&Retry, &Reconnect::TryUnanswered, this, [this] {
        Winsock1Data.Close();
        EthernetTryFailed(QString("no answer in %1 s").arg(Reconnect::MaxTrySeconds));
    });
    connect(&Winsock1Data, &SocketControl::Connected, this, &Session::Winsock1Data_Connect);
    connect(&Winsock1Data, &SocketControl::DataArrival, this, &Session::Winsock1Data_DataArrival);
    connect(&Winsock1Data, &SocketControl::ConnectFailed, this, &Session::Winsock1Data_ConnectFailed);
    connect(&Winsock1Data, &SocketControl::PeerClosed, this, &Session::Winsock1Data_PeerClosed);
}

Session::~Session()
{
    // Lines still pending reach the file; nobody is left to tell of a failure.
    Log.OnFailure = nullptr;
    Log.Close();
    Driver.BytesArrived = nullptr;
}

// ---- Start-up and settings --------------------------------------------------

void Session::InitVariables()
{
    Log.Close();
    Script.Reset();
    EchoEnabled = true;
    Pipe.DataPipe = 1;
    Pipe.ComPort = 1;
    ComSpeed = 2;
    ComOpen = false;
    Pipe.PipeResult = 0;
    EthernetUp = false;
    Pipe.ClearArrival();
    TickBusy = false;
    ArrivalBusy = false;
    Inbound.Reset();
    Pipe.KeyByte = 0; // bytes go out exactly as typed until the user sets a key
    Displayed = true;
    PartialShown = false;
    emit KeyByteText(KeyText(Pipe.KeyByte));
    emit DisplayEnabled(true);
}

void Session::SetDataPipe(qint16 dataPipe) { Pipe.DataPipe = dataPipe; }
void Session::SetComPort(int comPort) { Pipe.ComPort = comPort; }
void Session::SetComSpeed(qint16 comSpeed) { ComSpeed = comSpeed; }
void Session::SetCommandText(const QString &text) { Command = text; }
void Session::SetMatchText(const QString &text) { Match.SetText(text); }
void Session::SetScriptDelayText(const QString &text) { DelayText = text; }
void Session::SetAnswers(const QList<AnswerRule> &rules) { emit AnswerProblems(Answers.SetRules(rules)); }

void Session::SetPortDevice(int port, const QString &device)
{
    if (Ports)
        Ports->SetPortDevice(port, device);
}

// ---- Writers ------------------------------------------------------------------

void Session::Post(const QString &line) { emit DebugLine(line); }

void Session::WriteTrafficLine(const QString &line) { Write(line, true, Stamp(QTime()), QString()); }

void Session::WriteTextLine(const QString &line) { Write(line, false, Stamp(QTime()), QString()); }

// Logged always; shown as one row always, wrapped only while echo and display are on.
void Session::Write(const QString &line, bool wrap, const QString &stamp, const QString &delay)
{
    Log.WriteLine(StampedLine(line, stamp, delay));
    if (!wrap || (EchoEnabled && Displayed))
        emit TrafficLine(line, wrap, stamp, delay);
}

// Empty while timestamps are off; a null time is now.
QString Session::Stamp(const QTime &time) const
{
    if (!Timestamps)
        return QString();
    return (time.isNull() ? QTime::currentTime() : time).toString("HH:mm:ss.zzz");
}

void Session::SetTimestamps(bool on) { Timestamps = on; }

void Session::SetReconnect(bool on)
{
    ReconnectOn = on;
    if (!on)
        StopReconnect();
}

// Told only when it changes: a flood completes a packet every few bytes.
void Session::ShowPartial(bool present)
{
    if (present == PartialShown)
        return;
    PartialShown = present;
    emit PartialPacket(present);
}

void Session::ClearTraffic()
{
    Inbound.Reset();
    ShowPartial(false);
    emit TrafficCleared();
}

void Session::ToggleDisplay()
{
    Displayed = !Displayed;
    emit DisplayEnabled(Displayed);
}

// ---- Service timer ------------------------------------------------------------

void Session::StartServiceTimer()
{
    if (!tmr1) {
        tmr1 = std::make_unique<PulseClock>();
        connect(tmr1.get(), &PulseClock::Timer, this, &Session::tmr1_Timer);
    }
    tmr1->SetInterval(TimerInterval);
    tmr1->SetResolution(TimerResolution);
    tmr1->SetMode(1);
    tmr1->SetEnabled(true);
}

void Session::StopServiceTimer()
{
    if (tmr1)
        tmr1->SetEnabled(false);
}

bool Session::TimerRunning() const { return tmr1 && tmr1->Enabled(); }

void Session::tmr1_Timer(qint32)
{
    if (TickBusy)
        return;
    TickBusy = true;
    switch (Pipe.DataPipe) {
    case 1:
        if (ReadSerial())
            Script.RunScriptStep();
        break;
    case 2:
        Script.RunScriptStep();
        break;
    default:
        Post("Error in tmr routine.  DataPipe value wrong.");
    }
    TickBusy = false;
    Log.Flush();
}

// ---- Outbound command, inbound packets, key byte ------------------------------

bool Session::SendBytes(const QByteArray &bytes)
{
    if (!Pipe.SendPipePacket(bytes))
        return false;
    SinceCommand.start();
    return true;
}

void Session::SendCommand()
{
    SendCommandText(Command, true);
    Log.Flush();
}

void Session::SendSavedCommand(const QString &text)
{
    SendCommandText(text, false);
    Log.Flush();
}

// Every command that is not a script line goes out here: the box's, a saved one, an answer.
void Session::SendCommandText(const QString &text, bool fromBox)
{
    if (text.isEmpty()) {
        Post("Empty command string.");
        return;
    }
    const QString normalised = NormaliseCommandText(text);
    if (fromBox && normalised != Command) {
        Command = normalised;
        emit CommandText(Command);
    }
    const ParsedCommand parsed =
        ParseCommandText(normalised, CommandCapacity, [this](const QString &line) { Post(line); });
    if (parsed.tooLong) {
        // A truncated command to a vehicle is worse than none.
        Post(QString("Command longer than %1 bytes: nothing sent.").arg(CommandCapacity));
        return;
    }
    // Shown as sent only once it went out; no reply can come in between.
    if (SendBytes(parsed.bytes))
        WriteTrafficLine("<-- " + normalised);
}

void Session::ProcessInbound()
{
    const PostMsg post = [this](const QString &line) { Post(line); }; // made once, not per byte
    qint64 count = 0; // wide: one socket delivery of any size is processed whole
    for (;;) {
        // A socket delivery's payload bytes short of their packet's end go in one run.
        if (const qsizetype room = Inbound.PayloadRoom(); room > 0) {
            const QByteArrayView left = Pipe.ArrivalLeft();
            if (!left.isEmpty()) {
                const qsizetype run = qMin(room, left.size());
                Inbound.FeedPayload(left.first(run));
                Pipe.SkipArrival(run);
                count += run;
                continue;
            }
        }
        const int byte = Pipe.ReadPipeByte();
        if (byte == -1)
            break;
        ++count;
        // A packet's time is when its first byte is taken from the link.
        if (Timestamps && Inbound.InState == 1) {
            PacketTime = QTime::currentTime();
            PacketDelayNs = SinceCommand.isValid() ? SinceCommand.nsecsElapsed() : -1;
        }
        if (Inbound.Feed(quint8(byte), post))
            CheckMatchPacket();
        // A serial hand-over is bounded; the rest waits in the driver for the next one,
        // due at once.
        if (Pipe.DataPipe == 1 && count >= TickBound) {
            QMetaObject::invokeMethod(this, &Session::SerialBytesArrived, Qt::QueuedConnection);
            break;
        }
    }
    if (Inbound.InState != 1)
        ShowPartial(true);
}

// The match packet first, as ever; then the answer rules.
void Session::CheckMatchPacket()
{
    const bool matched = Match.Matches(Inbound.InLine);
    const std::optional<AnswerRule> answer = matched ? std::nullopt : Answers.Answer(Inbound.InLine);
    const QString delay = Timestamps && PacketDelayNs >= 0
                              ? QString("(+%1 ms)").arg(PacketDelayNs / 1e6, 0, 'f', 3)
                              : QString();
    Write(Inbound.InLine, true, Stamp(PacketTime), delay);
    Inbound.InLine.clear();
    ShowPartial(false);
    if (matched)
        SendCommandText(Command, true);
    else if (answer)
        WaitingAnswers.Add(answer->reply, answer->delayMs);
}

// An answer belongs to the link its packet came on.
void Session::DropWaitingAnswers()
{
    if (const int dropped = WaitingAnswers.Clear())
        Post(QString("%1 waiting answer%2 not sent: the link closed.").arg(dropped).arg(dropped == 1 ? "" : "s"));
}

void Session::CommFlush()
{
    WriteTrafficLine(Inbound.InLine);
    Inbound.Reset();
    ShowPartial(false);
    Log.Flush();
}

// A packet left incomplete on an earlier link (or on one just lost, with Reconnect When
// Lost), or at exit, is written out as "Flush" writes it: received bytes never vanish
// without a trace, nor swallow a new link's bytes. With none held framing is fresh
// already, and no empty line is written.
void Session::FlushHeldPacket()
{
    if (!Inbound.InLine.isEmpty())
        CommFlush();
}

void Session::UpdateKeyByte(const QString &typed)
{
    const QString text = TrimSpaces(typed).toUpper();
    Pipe.KeyByte = HexToByte(text, [this](const QString &line) { Post(line); }) % 256;
    emit KeyByteText(KeyText(Pipe.KeyByte));
}

void Session::SendBreak() { Pipe.SendBreak(); }

// ---- Serial port ----------------------------------------------------------------

// Serial bytes are framed as they arrive, as the socket's are, a bounded hand-over at a
// time: a packet's time is then its arrival's, not the next tick's. The tick reads too,
// so that nothing waits for long when a notice does not come.
void Session::SerialBytesArrived()
{
    if (Pipe.DataPipe != 1 || !ComOpen || TickBusy || ArrivalBusy)
        return;
    ArrivalBusy = true;
    ReadSerial();
    ArrivalBusy = false;
    Log.Flush();
}

// False when the port was found lost, and closed.
bool Session::ReadSerial()
{
    ProcessInbound();
    if (!ComOpen || Pipe.PipeResult != SerialResult::PortLost)
        return true;
    SerialPortLost();
    return false;
}

bool Session::ConfigureComms()
{
    if (TickBusy || ArrivalBusy) {
        Post("Com setup attempt failed, timer stopped. --> Try again !");
        StopServiceTimer();
        emit ConfigureCommsDone(false);
        return false;
    }
    StopReconnect();
    if (EthernetUp)
        CloseEthernet();
    else
        Winsock1Data.Close(); // a pending attempt is abandoned, so it cannot complete later
    if (ComOpen)
        CloseComPort();
    emit LinkStatus(QString());
    emit ConfigureCommsDone(true);
    return true;
}

void Session::InitComPort()
{
    const int port = Pipe.ComPort;
    if (port < 1 || port > 8) {
        Post("COM Port selection is invalid.");
        return;
    }
    if (ComSpeed < 1 || ComSpeed > 5) {
        Post("COM Speed selection is invalid.");
        return;
    }
    if (ComOpen) {
        Post("** ERROR ** COM Port already open.");
        return;
    }
    if (!OpenComPort([this](const QString &line) { Post(line); }))
        return;
    FlushHeldPacket();
    WriteTrafficLine("COM port initialized and opened.");
    ComPortOpened();
}

// Opens and sets up Pipe.ComPort at ComSpeed; a failure that leaves it closed goes to
// failure, the rest to the Debug window.
bool Session::OpenComPort(const PostMsg &failure)
{
    const int port = Pipe.ComPort;
    int &result = Pipe.PipeResult;
    result = Driver.InitializePort(port, port - 1, 0, 0, 9, 0, 8192, 8192, 0);
    if (result != 0) {
        failure(QString("Error initializing COM port: %1").arg(result));
        return false;
    }
    result = Driver.ser_rs232_getport(port, PortParams);
    if (result != 0) {
        failure(QString("Error setting COM port parameters: %1").arg(result));
        Driver.UnInitializePort(port); // so the next try does not find the port busy
        return false;
    }
    const Speed &speed = Speeds[ComSpeed - 1];
    PortParams = {speed.code, 0, 3, 0, 0};
    TickBound = SerialTickBound(speed.baud);
    result = Driver.SetPortCharacteristics(port, speed.code, 0, 3, 0, 0);
    if (result != 0) {
        failure(QString("Error setting COM port characteristics: %1").arg(result));
        Driver.UnInitializePort(port);
        return false;
    }
    result = Driver.CdrvSetTimerResolution(port, 1);
    if (result != 0)
        Post(QString("Error setting timer resolution: %1").arg(result));
    result = Driver.SetTimeout(port, 5);
    if (result != 0)
        Post(QString("Error setting time out: %1").arg(result));
    result = Driver.SetPaceTime(port, 0);
    if (result != 0)
        Post(QString("Error setting pace time: %1").arg(result));
    return true;
}

void Session::ComPortOpened()
{
    emit LinkStatus(QString("COM%1: at %2").arg(Pipe.ComPort).arg(Speeds[ComSpeed - 1].status));
    ComOpen = true;
    Pipe.FlushPipe();

    TickBusy = false;
    StartServiceTimer();
    if (Ports)
        ComDevice = SerialIdentity(Ports->PortDevice(Pipe.ComPort));
    Log.Flush();
}

void Session::CloseComPort()
{
    StopServiceTimer();
    Pipe.PipeResult = Driver.UnInitializePort(Pipe.ComPort);
    if (Pipe.PipeResult != 0)
        Post(QString("Error: %1 closing COM port: %2").arg(Pipe.PipeResult).arg(Pipe.ComPort));
    else
        Post(QString("Closed COM port: %1").arg(Pipe.ComPort));
    ComOpen = false;
    TickBusy = false;
    DropWaitingAnswers();
}

// An adapter pulled out would otherwise post a read error on every tick: say it
// once and close the port, as a TCP peer that goes away closes the link.
void Session::SerialPortLost()
{
    const QString com = QString("COM%1").arg(Pipe.ComPort);
    Post(com + " lost: the device went away." + (ReconnectOn ? "" : " Configure Comms to open it again."));
    CloseComPort();
    emit LinkStatus(QString());
    if (!ReconnectOn)
        return;
    Retrying = "Waiting for " + com + (Ports ? " (" + ComDevice.Name() + ")" : QString()) + " to come back";
    LinkLost(com + ": the device went away", Reconnect::SerialSchedule);
    PostStatus(Retrying + ".");
}

// A look for the lost port's device, wherever it is now, opened at the same speed.
void Session::LookForComPort()
{
    if (Ports) {
        const QString device = ComDevice.Find();
        if (device.isEmpty())
            return Retry.Failed();
        if (device != Ports->PortDevice(Pipe.ComPort)) { // an adapter back under another name
            Ports->SetPortDevice(Pipe.ComPort, device);
            emit PortDeviceMoved(Pipe.ComPort, device);
        }
    }
    QString why;
    if (!OpenComPort([&why](const QString &line) { why = line; })) {
        PostStatus(Retrying + " (last try: " + why + ").");
        return Retry.Failed();
    }
    LinkBack(QString("COM%1 is back").arg(Pipe.ComPort) + (Ports ? ": " + Ports->PortDevice(Pipe.ComPort) : "") + ".");
    ComPortOpened();
}

// ---- Reconnect ------------------------------------------------------------------

// What was received before the link went is written out, the log marks the gap,
// and the same link is tried again on the schedule.
void Session::LinkLost(const QString &reason, const QList<int> &schedule)
{
    FlushHeldPacket();
    Log.WriteMarker("### Link lost: " + reason);
    Log.Flush();
    LastStatus.clear();
    Retry.Start(schedule);
}

void Session::LinkBack(const QString &status)
{
    Retry.Stop();
    PostStatus(status);
    Log.WriteMarker("### Link back.");
}

void Session::StopReconnect()
{
    if (!Retry.Active())
        return;
    Retry.Stop();
    PostStatus(Retrying + ": stopped.");
}

// Only a change is told: a look every second must flood neither the window nor a rig's stderr.
void Session::PostStatus(const QString &line)
{
    if (line == LastStatus)
        return;
    LastStatus = line;
    emit DebugStatusLine(line);
}

void Session::Retry_TryDue()
{
    if (Pipe.DataPipe == 1)
        LookForComPort();
    else
        Winsock1Data.Connect(); // the same address and port
}

void Session::EthernetTryFailed(const QString &reason)
{
    const int failed = Retry.Attempt();
    Retry.Failed();
    PostStatus(Retrying + QString(": try %1 failed (%2), try %3 in %4 s.")
                              .arg(QString::number(failed), reason, QString::number(Retry.Attempt()),
                                   QString::number(Retry.NextDelay())));
}

// ---- TCP connection -------------------------------------------------------------

void Session::InitWinSock(const QString &address, qint32 port)
{
    ArrivalBusy = false;
    Winsock1Data.Protocol = 0;
    Winsock1Data.RemoteHost = address;
    Winsock1Data.RemotePort = port;
    Winsock1Data.Connect();
    Post("Ethernet connection pending.");
}

void Session::Winsock1Data_Connect()
{
    FlushHeldPacket();
    if (Retry.Active())
        LinkBack("Reconnected to " + EthernetPeer() + QString(" at try %1.").arg(Retry.Attempt()));
    Post("Ethernet connection complete.");
    EthernetUp = true;
    // Joined, not arg()-chained: an address may hold "%1" (an IPv6 zone such as fe80::1%2).
    emit LinkStatus("Ethernet IP address: " + Winsock1Data.RemoteHost
                    + "   Port number: " + QString::number(Winsock1Data.RemotePort));
    StartServiceTimer();
    Log.Flush();
}

void Session::Winsock1Data_DataArrival(qint64 bytesTotal)
{
    if (ArrivalBusy)
        return;
    ArrivalBusy = true;
    Pipe.TakeArrival(bytesTotal);
    ProcessInbound();
    ArrivalBusy = false;
    Log.Flush();
}

void Session::Winsock1Data_ConnectFailed(const QString &reason)
{
    if (Retry.Active())
        return EthernetTryFailed(reason);
    Post("Ethernet connection failed: " + reason);
}

void Session::Winsock1Data_PeerClosed(const QString &reason)
{
    if (!EthernetUp)
        return;
    StopServiceTimer();
    EthernetUp = false;
    ArrivalBusy = false;
    emit LinkStatus(QString());
    Post("Ethernet connection lost: " + reason);
    DropWaitingAnswers();
    if (!ReconnectOn)
        return;
    Retrying = "Reconnecting to " + EthernetPeer();
    LinkLost(reason, Reconnect::EthernetSchedule);
    PostStatus(Retrying + QString(": try 1 in %1 s.").arg(Retry.NextDelay()));
}

// Joined, as the status line is.
QString Session::EthernetPeer() const
{
    return Winsock1Data.RemoteHost + ':' + QString::number(Winsock1Data.RemotePort);
}

void Session::CloseEthernet()
{
    StopServiceTimer();
    Winsock1Data.Close();
    Post("Ethernet connection closed.");
    EthernetUp = false;
    ArrivalBusy = false;
    DropWaitingAnswers();
}

// ---- Log file -------------------------------------------------------------------

void Session::SelectLogFile(const std::optional<QString> &name)
{
    Log.Close();
    emit LogStatus(QString());
    if (!name) {
        Post("Log File cancelled.");
        return;
    }
    if (name->isEmpty()) {
        Post("No Log specified.");
        return;
    }
    if (!Log.Open(*name, QDateTime::currentDateTime())) {
        Post("Log File cancelled. " + Log.ErrorText());
        return;
    }
    emit LogStatus(*name + " - Active");
    Log.Flush();
}

void Session::CloseLogFile()
{
    Log.Close();
    emit LogStatus(QString());
}

void Session::LogFailed(const QString &line)
{
    Post(line);
    emit LogStatus(QString());
}

// ---- Script file ----------------------------------------------------------------

void Session::SelectScriptFile(const std::optional<QString> &name)
{
    Script.Unselect();
    if (!name) {
        Post("Script File cancelled.");
        return;
    }
    if (name->isEmpty()) {
        Post("No Script file specified.");
        return;
    }
    Script.Select(*name);
}

void Session::SendScriptFile()
{
    Script.SendScriptFile_Click();
    Log.Flush();
}

void Session::AbortScriptFile()
{
    Script.AbortScriptFile_Click();
    Log.Flush();
}

void Session::WriteLogMarker(const QString &marker) { Log.WriteMarker(marker); }
void Session::SetEchoEnabled(bool on) { EchoEnabled = on; }
void Session::ShowScriptStatus(const QString &text) { emit ScriptStatus(text); }
void Session::ShowScriptPath(const QString &path) { emit ScriptPath(path); }
QString Session::ScriptDelay() { return DelayText; }

void Session::SetScriptDelay(const QString &text)
{
    DelayText = text;
    emit ScriptDelayText(text);
}

bool Session::SendScriptPacket(const QByteArray &bytes) { return SendBytes(bytes); }
void Session::PostDebug(const QString &line) { Post(line); }

// ---- Shutdown -------------------------------------------------------------------

bool Session::QueryUnload()
{
    Post("Enter Form_QueryUnload");
    if (TickBusy || ArrivalBusy) {
        Post("Exit attempt failed, timer stopped. --> Try again !");
        StopServiceTimer();
        emit QueryUnloadDone(false);
        return false;
    }
    ExitProgram();
    emit QueryUnloadDone(true);
    return true;
}

void Session::ExitProgram()
{
    Retry.Stop();
    if (ComOpen)
        CloseComPort();
    if (EthernetUp)
        CloseEthernet();
    tmr1.reset();
    emit LinkStatus(QString());
    if (Log.LogActive) {
        Log.Close();
        Post("Log file closed.");
    }
    Script.CloseForShutdown();
    FlushHeldPacket();
}
