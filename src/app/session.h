#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTime>
#include <QString>
#include <memory>
#include <optional>

#include "app/answerqueue.h"
#include "app/reconnect.h"
#include "app/sessionreports.h"
#include "datapipe/pipeio.h"
#include "datapipe/serialdriver.h"
#include "datapipe/serialidentity.h"
#include "display/logfile.h"
#include "protocol/answerrules.h"
#include "protocol/matchpacket.h"
#include "protocol/packetassembler.h"
#include "script/scripthost.h"
#include "script/scriptrunner.h"

class PulseClock;
class SocketControl;

// One run of the program, without any window: the link to the device and its
// service timer, the key byte, inbound framing, the match reply and the answers, the
// script runner and the log. Requests come in through the methods; everything there is
// to show goes out through the signals (SessionReports). Every request and event
// handler leaves the log on disk complete when it returns.
class Session : public SessionReports, private ScriptHost {
    Q_OBJECT
public:
    Session(SerialDriver &driver, SocketControl &socket, QObject *parent = nullptr);
    ~Session() override;

    // Every setting and variable back to its start-up default, no link, no timer.
    void InitVariables();

    // Settings, written as the user edits them.
    void SetDataPipe(qint16 dataPipe); // 1 serial COM port, 2 Ethernet
    void SetComPort(int comPort);      // 1..8
    void SetComSpeed(qint16 comSpeed); // 1..5: 9.6, 19.2, 38.4, 57.6, 115.2 kbaud
    void SetCommandText(const QString &text);
    void SetMatchText(const QString &text);
    void SetScriptDelayText(const QString &text);
    // The answer rules, in the order they are tried; AnswerProblems tells which never answer.
    void SetAnswers(const QList<AnswerRule> &rules);
    // The device a COM number opens, when the driver has a port table.
    void SetPortDevice(int port, const QString &device);

    // Links. ConfigureComms closes whatever is open; false when a busy handler refused.
    bool ConfigureComms();
    void InitComPort();
    void InitWinSock(const QString &address, qint32 port);

    // Traffic.
    void SendCommand();
    // A saved command, sent as SendCommand sends the box's text; the box keeps its own.
    void SendSavedCommand(const QString &text);
    void CommFlush();
    void SendBreak();
    void UpdateKeyByte(const QString &typed);
    void ClearTraffic();
    void ToggleDisplay();
    // Each traffic line starts with the time; an inbound packet also shows the time
    // since the last command was handed to the link.
    void SetTimestamps(bool on);
    // A link lost while it was up is opened again by itself: a TCP peer on a schedule,
    // a serial device once it is back. Off at start.
    void SetReconnect(bool on);

    // Log and script files, by the name the file dialog gave: none when it was cancelled.
    void SelectLogFile(const std::optional<QString> &name);
    void CloseLogFile();
    void SelectScriptFile(const std::optional<QString> &name);
    void SendScriptFile();
    void AbortScriptFile();

    // A close request: false when a busy handler refused it, and the run goes on.
    bool QueryUnload();

    // The service tick; the timer calls it, tests may too.
    void tmr1_Timer(qint32 lMilliseconds);

    // What the run is doing now.
    qint16 DataPipe() const { return Pipe.DataPipe; }
    bool ComPortOpen() const { return ComOpen; }
    bool EthernetOpen() const { return EthernetUp; }
    bool LogActive() const { return Log.LogActive; }
    QString LogError() const { return Log.ErrorText(); } // why the log did not open
    int PipeResult() const { return Pipe.PipeResult; }    // of the last serial driver call
    int KeyByte() const { return Pipe.KeyByte; }
    bool TimerRunning() const;
    PulseClock *Timer() const { return tmr1.get(); }
    Reconnect *ReconnectTimer() { return &Retry; } // tests shorten its second or call its handler

private:
    void Post(const QString &line);
    void WriteTrafficLine(const QString &line) override;
    void WriteTextLine(const QString &line) override;
    void Write(const QString &line, bool wrap, const QString &stamp, const QString &delay);
    QString Stamp(const QTime &time) const;
    bool SendBytes(const QByteArray &bytes);
    void SendCommandText(const QString &text, bool fromBox);
    void DropWaitingAnswers();
    void ShowPartial(bool present);
    void FlushHeldPacket();
    void StartServiceTimer();
    void StopServiceTimer();
    bool OpenComPort(const PostMsg &failure);
    void ComPortOpened();
    void CloseComPort();
    void SerialPortLost();
    void LookForComPort();
    void LinkLost(const QString &reason, const QList<int> &schedule);
    void LinkBack(const QString &status);
    void StopReconnect();
    void PostStatus(const QString &line);
    void Retry_TryDue();
    void EthernetTryFailed(const QString &reason);
    QString EthernetPeer() const;
    void CloseEthernet();
    void ProcessInbound();
    void CheckMatchPacket();
    void ExitProgram();
    void LogFailed(const QString &line);
    void SerialBytesArrived();
    bool ReadSerial();
    void Winsock1Data_Connect();
    void Winsock1Data_DataArrival(qint64 bytesTotal);
    void Winsock1Data_ConnectFailed(const QString &reason);
    void Winsock1Data_PeerClosed(const QString &reason);

    // ScriptHost
    void WriteLogMarker(const QString &marker) override;
    void SetEchoEnabled(bool on) override;
    void ShowScriptStatus(const QString &text) override;
    void ShowScriptPath(const QString &path) override;
    QString ScriptDelay() override;
    void SetScriptDelay(const QString &text) override;
    bool SendScriptPacket(const QByteArray &bytes) override;
    void PostDebug(const QString &line) override;

    SerialDriver &Driver;
    SocketControl &Winsock1Data;

    PipeIo Pipe;
    PacketAssembler Inbound;
    LogFile Log;
    ScriptRunner Script;
    std::unique_ptr<PulseClock> tmr1;
    PortTable *const Ports; // the driver's, if it has one
    SerialIdentity ComDevice; // the device the open port is
    Reconnect Retry;
    bool ReconnectOn = false;
    QString Retrying;   // the status lines' start while a lost link is tried again
    QString LastStatus;

    qint16 ComSpeed = 2;
    int TickBound = 101; // inbound bytes one serial tick takes at most
    ::PortParams PortParams{};
    bool ComOpen = false;
    bool EthernetUp = false;
    bool TickBusy = false;
    bool ArrivalBusy = false;
    bool EchoEnabled = true;
    bool Displayed = true;
    bool PartialShown = false;
    QString Command;
    MatchPacket Match;
    AnswerRules Answers;
    AnswerQueue WaitingAnswers{this};
    QString DelayText;
    bool Timestamps = false;
    QElapsedTimer SinceCommand; // since the last command was handed to the link
    QTime PacketTime;           // when the packet being framed began
    qint64 PacketDelayNs = -1;  // SinceCommand then; -1 before any command
};
