#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <memory>

#include "datapipe/pipeio.h"
#include "datapipe/serialdriver.h"
#include "display/linewindow.h"
#include "display/logfile.h"
#include "display/trafficwriter.h"
#include "protocol/packetassembler.h"
#include "script/scripthost.h"
#include "script/scriptrunner.h"

class FileDialog;
class Form2;
class Form3;
class PulseClock;
class SocketControl;
class frmAbout;

// The main window. It owns the state of a run and glues the controls to the
// plain classes that do the work (pipe, assembler, writers, log, script runner).
class Form1 : public QMainWindow, private ScriptHost {
    Q_OBJECT
    SerialDriver &Driver;
    SocketControl &Winsock1Data;
    FileDialog &CommonDialog1;

public:
    Form1(SerialDriver &driver, SocketControl &socket, FileDialog &files);
    ~Form1() override;

    // Public settings, edited by the configuration dialog. DataPipe and ComPort
    // live in Pipe, EchoEnabled in Traffic.
    QString IPAddress;
    qint32 PortNumber = 0;
    qint16 ComSpeed = 0;

    void InitComPort();
    void InitVariables();
    void InitWinSock();
    void PostMsg2();
    // Posts one Debug line: DebugMsg set, then PostMsg2.
    void Post(const QString &line);
    void UpdateKeyByte();
    // Hands the log's pending lines to the file; run at the end of every handler.
    void FlushLog();

    // Handlers, named after their control and event.
    void SendCommand_Click();
    void CommFlush_Click();
    void SetKeyByte_Click();
    void SendABreak_Click();
    void ConfigComPort_Click();
    void ClearCommWindow_Click();
    void CommDisplayControl_Click();
    void ClearDebugWindow_Click();
    void SelectLogFile_Click();
    void CloseLogFile_Click();
    void SelectScriptFile_Click();
    void SendScriptFile_Click();
    void AbortScriptFile_Click();
    void ExitApp_Click();
    void AbortProgram_Click();
    void menuHelpAbout_Click();
    void tmr1_Timer(qint32 lMilliseconds);
    void Winsock1Data_Connect();
    void Winsock1Data_DataArrival(qint64 bytesTotal);

    // Working state of the run (read by tests and the other windows).
    PipeIo Pipe;
    PacketAssembler Inbound;
    LogFile Log;
    bool EthernetOpen = false;
    bool ComPortOpen = false;
    ::PortParams PortParams{};
    bool TickBusy = false;
    bool ArrivalBusy = false;
    bool ExitRefused = false;
    QString EchoLine;
    QString InfoLine;
    std::unique_ptr<PulseClock> tmr1;

    // Controls, with the object names they are found by.
    QListWidget *List1;
    QPushButton *ClearCommWindow, *CommDisplayControl, *CommFlush, *SetKeyByte;
    QLineEdit *KeyByteText;
    QPushButton *SendCommand;
    QLineEdit *Text5;
    QPushButton *SendABreak;
    QLineEdit *MatchMsg, *Text7;
    QPushButton *SendScriptFile;
    QLineEdit *Text6;
    QPushButton *AbortScriptFile, *SelectScriptFile;
    QLineEdit *Text8, *Text1;
    QPushButton *SelectLogFile;
    QLineEdit *Text2;
    QPushButton *CloseLogFile, *ConfigComPort;
    QLineEdit *Text3;
    QPushButton *ClearDebugWindow;
    QListWidget *List2;
    QPushButton *AbortProgram;

private:
    LineWindow TrafficWindow;
    LineWindow DebugWindow;

public:

    Form2 *ConfigDialog() const { return Config; }
    Form3 *KeyDialog();
    frmAbout *AboutBox() const;
    TrafficWriter Traffic;
    ScriptRunner Script;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void BuildMenus();
    template <typename Handler> void OnClick(QPushButton *button, Handler handler);
    void Form_QueryUnload(bool *cancel);
    void ExitProgram();
    void StartServiceTimer();
    void StopServiceTimer();
    void CloseComPort();
    void SerialPortLost();
    void CloseEthernet();
    void ProcessInbound();
    void CheckMatchPacket();
    void SendBytes(const QByteArray &bytes);
    void LogFailed(const QString &line);
    void Winsock1Data_ConnectFailed(const QString &reason);
    void Winsock1Data_PeerClosed(const QString &reason);

    // ScriptHost
    void WriteTrafficLine(QString &line) override;
    void WriteTextLine(QString &line) override;
    void WriteLogMarker(const QString &marker) override;
    void SetEchoEnabled(bool on) override;
    void ShowScriptStatus(const QString &text) override;
    void ShowScriptPath(const QString &path) override;
    QString ScriptDelayText() override;
    void SetScriptDelayText(const QString &text) override;
    void SendScriptPacket(const QByteArray &bytes) override;
    void PostDebug(const QString &line) override;

    Form2 *Config = nullptr;
    Form3 *KeyForm = nullptr;
    QPointer<frmAbout> About;
};
