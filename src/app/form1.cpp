#include "app/form1.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QMenuBar>
#include <QShortcut>

#include "about/frmabout.h"
#include "app/filedialog.h"
#include "app/mainstartup.h"
#include "app/pulseclock.h"
#include "app/twips.h"
#include "datapipe/form2.h"
#include "datapipe/serialresult.h"
#include "datapipe/socketcontrol.h"
#include "protocol/hextext.h"
#include "protocol/form3.h"
#include "protocol/keybyte.h"
#include "protocol/matchpacket.h"

namespace {
// The OutBound Command holds at most this many bytes; longer commands are refused.
constexpr int CommandCapacity = 260;

QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &where)
{
    auto *button = Place(new QPushButton(caption), parent, name, where, caption);
    button->setAutoDefault(false);
    return button;
}

QLineEdit *TextBox(QWidget *parent, const char *name, const QRect &where, const QString &accessibleName)
{
    return Place(new QLineEdit, parent, name, where, accessibleName);
}

// Labels read left-aligned; one that stands left of its box is right-aligned against
// it, so that a longer text grows away from the box.
void Label(QWidget *parent, const char *name, const QString &caption, const QRect &where,
           Qt::Alignment alignment = Qt::AlignLeft)
{
    Place(new QLabel(caption), parent, name, where, caption)->setAlignment(alignment | Qt::AlignVCenter);
}

// "Courier New" where installed, else the desktop's monospaced font; either at the
// size of the other text, so that a row of 19 bytes fits the window.
QFont TrafficFont(QFont font)
{
    font.setFamily(QFontDatabase::families().contains("Courier New")
                       ? QString("Courier New")
                       : QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    return font;
}
}

Form1::Form1(SerialDriver &driver, SocketControl &socket, FileDialog &files)
    : Driver(driver), Winsock1Data(socket), CommonDialog1(files),
      Pipe(driver, socket, [this](const QString &line) { Post(line); }),
      List1(new QListWidget), List2(new QListWidget),
      TrafficWindow(List1), DebugWindow(List2),
      Traffic(TrafficWindow, Log), Script(*this, files)
{
    setObjectName("Form1");
    setWindowTitle("Quillon");
    BuildMenus();
    BuildControls();
    Config = new Form2(*this, dynamic_cast<PortTable *>(&driver));

    Log.OnFailure = [this](const QString &line) { LogFailed(line); };
    connect(&Winsock1Data, &SocketControl::Connected, this, [this] {
        Winsock1Data_Connect();
        FlushLog();
    });
    connect(&Winsock1Data, &SocketControl::DataArrival, this, [this](qint64 bytesTotal) {
        Winsock1Data_DataArrival(bytesTotal);
        FlushLog();
    });
    connect(&Winsock1Data, &SocketControl::ConnectFailed, this, &Form1::Winsock1Data_ConnectFailed);
    connect(&Winsock1Data, &SocketControl::PeerClosed, this, &Form1::Winsock1Data_PeerClosed);
}

Form1::~Form1()
{
    // Lines still pending reach the file; nobody is left to tell of a failure.
    Log.OnFailure = nullptr;
    Log.Close();
}

void Form1::BuildMenus()
{
    QMenu *fileMenu = menuBar()->addMenu("&File");
    fileMenu->setObjectName("FileMenu");
    QAction *exitApp = fileMenu->addAction("E&xit");
    exitApp->setObjectName("ExitApp");
    connect(exitApp, &QAction::triggered, this, &Form1::ExitApp_Click);

    QMenu *helpMenu = menuBar()->addMenu("&Help");
    helpMenu->setObjectName("menuHelp");
    QAction *about = helpMenu->addAction("&About");
    about->setObjectName("menuHelpAbout");
    connect(about, &QAction::triggered, this, &Form1::menuHelpAbout_Click);
}

template <typename Handler> void Form1::OnClick(QPushButton *button, Handler handler)
{
    connect(button, &QPushButton::clicked, this, [this, handler] {
        (this->*handler)();
        FlushLog();
    });
}

void Form1::BuildControls()
{
    auto *area = new QWidget;
    area->setObjectName("Form1Client");
    area->setFixedSize(Twips(7215), Twips(8175));
    setCentralWidget(area);

    Place(List1, area, "List1", TwipsRect(120, 0, 6855, 2370), "Comm's");
    List1->setFont(TrafficFont(List1->font()));
    ClearCommWindow = Button(area, "ClearCommWindow", "Clear", TwipsRect(120, 2400, 855, 255));
    CommDisplayControl = Button(area, "CommDisplayControl", "Disable", TwipsRect(1200, 2400, 975, 255));
    Label(area, "Label1", "Comm's", TwipsRect(2400, 2400, 1215, 255));
    CommFlush = Button(area, "CommFlush", "Flush", TwipsRect(3960, 2400, 975, 255));
    CommFlush->setEnabled(false);
    SetKeyByte = Button(area, "SetKeyByte", "Set Key", TwipsRect(5400, 2400, 855, 255));
    KeyByteText = TextBox(area, "KeyByteText", TwipsRect(6360, 2400, 615, 285), "Key byte");
    KeyByteText->setText(KeyText(Pipe.KeyByte));
    Label(area, "Label3", "OutBound Command", TwipsRect(2280, 2880, 2055, 255));
    SendCommand = Button(area, "SendCommand", "Send Command", TwipsRect(240, 3000, 1695, 375));
    SendCommand->setDefault(true);
    Text5 = TextBox(area, "Text5", TwipsRect(2160, 3120, 4815, 285), "OutBound Command");
    SendABreak = Button(area, "SendABreak", "Send Break", TwipsRect(720, 3480, 1215, 255));
    SendABreak->setEnabled(false);
    Label(area, "Label8", "Match Packet - sends OutBound Command", TwipsRect(2280, 3480, 4455, 255));
    MatchMsg = TextBox(area, "MatchMsg", TwipsRect(2160, 3720, 4815, 285),
                       "Match Packet - sends OutBound Command");
    MatchMsg->setText("05 00 68 6A F1 3F");
    Label(area, "Label4", "Script File Delay: ", TwipsRect(240, 4200, 1695, 255), Qt::AlignRight);
    Text7 = TextBox(area, "Text7", TwipsRect(2160, 4200, 735, 285), "Script File Delay");
    Text7->setText("1000");
    Label(area, "Label7", " (msec.)", TwipsRect(3000, 4200, 855, 255));
    SendScriptFile = Button(area, "SendScriptFile", "Send Script File", TwipsRect(240, 4560, 1695, 255));
    Text6 = TextBox(area, "Text6", TwipsRect(2160, 4560, 4815, 285), "Script file");
    AbortScriptFile = Button(area, "AbortScriptFile", "Abort Script File", TwipsRect(240, 4920, 1695, 255));
    SelectScriptFile = Button(area, "SelectScriptFile", "Select Script File", TwipsRect(2160, 4920, 1695, 255));
    Label(area, "Label6", "Script file status: ", TwipsRect(3960, 4920, 1695, 255), Qt::AlignRight);
    Text8 = TextBox(area, "Text8", TwipsRect(5880, 4920, 1095, 285), "Script file status");
    Label(area, "Label5", "Service time interval (msec): ", TwipsRect(3360, 5400, 2895, 255), Qt::AlignRight);
    Text1 = TextBox(area, "Text1", TwipsRect(6360, 5400, 615, 285), "Service time interval (msec)");
    Text1->setText("----");
    Text1->setEnabled(false);
    SelectLogFile = Button(area, "SelectLogFile", "Open Log File", TwipsRect(240, 5640, 1695, 255));
    Text2 = TextBox(area, "Text2", TwipsRect(2160, 5880, 4815, 285), "Log file");
    CloseLogFile = Button(area, "CloseLogFile", "Close Log File", TwipsRect(240, 6000, 1695, 255));
    CloseLogFile->setEnabled(false);
    ConfigComPort = Button(area, "ConfigComPort", "Configure Comms", TwipsRect(240, 6480, 1695, 375));
    Text3 = TextBox(area, "Text3", TwipsRect(2160, 6480, 4815, 285), "Link status");
    Label(area, "Label2", "Debug", TwipsRect(3000, 6960, 1215, 255));
    ClearDebugWindow = Button(area, "ClearDebugWindow", "Clear Debug", TwipsRect(240, 7200, 1695, 255));
    Place(List2, area, "List2", TwipsRect(2160, 7200, 4815, 840), "Debug");
    AbortProgram = Button(area, "AbortProgram", "Exit / Abort", TwipsRect(240, 7680, 1695, 375));

    OnClick(ClearCommWindow, &Form1::ClearCommWindow_Click);
    OnClick(CommDisplayControl, &Form1::CommDisplayControl_Click);
    OnClick(CommFlush, &Form1::CommFlush_Click);
    OnClick(SetKeyByte, &Form1::SetKeyByte_Click);
    OnClick(SendCommand, &Form1::SendCommand_Click);
    OnClick(SendABreak, &Form1::SendABreak_Click);
    OnClick(SendScriptFile, &Form1::SendScriptFile_Click);
    OnClick(AbortScriptFile, &Form1::AbortScriptFile_Click);
    OnClick(SelectScriptFile, &Form1::SelectScriptFile_Click);
    OnClick(SelectLogFile, &Form1::SelectLogFile_Click);
    OnClick(CloseLogFile, &Form1::CloseLogFile_Click);
    OnClick(ConfigComPort, &Form1::ConfigComPort_Click);
    OnClick(ClearDebugWindow, &Form1::ClearDebugWindow_Click);
    OnClick(AbortProgram, &Form1::AbortProgram_Click);

    // SendCommand is the default button: Enter presses it unless another button has
    // the focus, which Enter then presses instead.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            auto *focused = qobject_cast<QPushButton *>(focusWidget());
            (focused ? focused : SendCommand)->click();
        });
    }
}

// ---- Start-up -------------------------------------------------------------

void Form1::InitVariables()
{
    Log.Close();
    Script.ScriptFileName.clear();
    Traffic.EchoEnabled = true;
    Pipe.InByte = -1;
    Script.ScriptState = 0;
    Script.ScriptDelayCount = 0;

    Pipe.DataPipe = 1;
    Pipe.ComPort = 1;
    ComSpeed = 2;
    ComPortOpen = false;
    Pipe.PipeResult = 0;
    EthernetOpen = false;

    IPAddress = "192.168.1.70";
    Config->IPAddress->setText(IPAddress);
    PortNumber = 10001;
    Config->PortNumber->setText(QString::number(PortNumber));

    Pipe.RxIndex = 1;
    Pipe.RxLast = 0;
    Pipe.ResetOutPacket();

    TickBusy = false;
    ArrivalBusy = false;
    Inbound.Reset();
    Pipe.KeyByte = 0; // bytes go out exactly as typed until the user sets a key
    KeyByteText->setText(KeyText(Pipe.KeyByte));

    EchoLine.clear();
    InfoLine.clear();
    MainStartUp::DebugMsg.clear();

    Config->SelectOptions(Pipe.ComPort, ComSpeed, Pipe.DataPipe);

    Traffic.DisplayEnabled = true;
    Traffic.EchoEnabled = true;
    CommDisplayControl->setText("Disable");

    TrafficWindow.Clear();
    DebugWindow.Clear();

    Text1->setText("----");
    for (QLineEdit *box : {Text2, Text3, Text5, Text6, Text8})
        box->clear();
    Text7->setText("1000");
    MatchMsg->setText("05 00 68 6A F1 3F");
    for (QLineEdit *box : {Text2, Text3, Text5, Text6, Text7, Text8, MatchMsg})
        box->end(false);
}

// ---- Windows and writers --------------------------------------------------

void Form1::Post(const QString &line)
{
    MainStartUp::DebugMsg = line;
    PostMsg2();
}

void Form1::PostMsg2()
{
    DebugWindow.AppendRow(MainStartUp::DebugMsg);
    MainStartUp::DebugMsg.clear();
}

void Form1::WriteTrafficLine(QString &line) { Traffic.WriteTrafficLine(line); }

void Form1::WriteTextLine(QString &line) { Traffic.WriteTextLine(line); }

void Form1::ClearCommWindow_Click()
{
    TrafficWindow.Clear();
    EchoLine.clear();
    InfoLine.clear();
    Inbound.Reset();
    CommFlush->setEnabled(false);
}

void Form1::CommDisplayControl_Click()
{
    Traffic.DisplayEnabled = !Traffic.DisplayEnabled;
    CommDisplayControl->setText(Traffic.DisplayEnabled ? "Disable" : "Enable");
}

void Form1::ClearDebugWindow_Click()
{
    DebugWindow.Clear();
    MainStartUp::DebugMsg.clear();
}

void Form1::FlushLog() { Log.Flush(); }

// ---- Service timer --------------------------------------------------------

void Form1::StartServiceTimer()
{
    if (!MainStartUp::TimerCreated || !tmr1) {
        tmr1 = std::make_unique<PulseClock>();
        connect(tmr1.get(), &PulseClock::Timer, this, [this](qint32 milliseconds) {
            tmr1_Timer(milliseconds);
            FlushLog();
        });
        MainStartUp::TimerCreated = true;
    }
    tmr1->SetInterval(MainStartUp::TimerInterval);
    tmr1->SetResolution(MainStartUp::TimerResolution);
    tmr1->SetMode(MainStartUp::TimerPeriodic ? 1 : 0);
    tmr1->SetEnabled(true);
}

void Form1::StopServiceTimer()
{
    if (tmr1)
        tmr1->SetEnabled(false);
}

void Form1::tmr1_Timer(qint32)
{
    if (TickBusy)
        return;
    TickBusy = true;
    // A script's run of comment and blank lines is a burst too: shown once a frame.
    const LineWindow::Burst burst(TrafficWindow);
    switch (Pipe.DataPipe) {
    case 1:
        ProcessInbound();
        if (ComPortOpen && Pipe.PipeResult == SerialResult::PortLost) {
            SerialPortLost();
            break;
        }
        Script.RunScriptStep();
        break;
    case 2:
        Script.RunScriptStep();
        break;
    default:
        Post("Error in tmr routine.  DataPipe value wrong.");
    }
    TickBusy = false;
}

// ---- Outbound command, inbound packets, key byte --------------------------

void Form1::SendBytes(const QByteArray &bytes)
{
    Pipe.SetOutPacket(bytes);
    Pipe.SendPipePacket();
    Pipe.ResetOutPacket();
}

void Form1::SendCommand_Click()
{
    if (Text5->text().isEmpty()) {
        Post("Empty command string.");
        return;
    }
    const QString normalised = NormaliseCommandText(Text5->text());
    if (normalised != Text5->text()) // an unchanged box is not laid out and painted again
        Text5->setText(normalised);
    const QString command = Text5->text();
    Text5->setSelection(0, command.size());
    Text5->setFocus();

    EchoLine = "<-- " + command;
    WriteTrafficLine(EchoLine);

    const ParsedCommand parsed =
        ParseCommandText(command, CommandCapacity, [this](const QString &line) { Post(line); });
    if (parsed.tooLong) {
        // A truncated command to a vehicle is worse than none.
        Post(QString("Command longer than %1 bytes: nothing sent.").arg(CommandCapacity));
        return;
    }
    SendBytes(parsed.bytes);
}

void Form1::ProcessInbound()
{
    const PostMsg post = [this](const QString &line) { Post(line); }; // made once, not per byte
    const LineWindow::Burst burst(TrafficWindow); // rows shown once a frame, not per packet
    qint64 count = 0; // wide: one socket delivery of any size is processed whole
    for (;;) {
        Pipe.ReadPipeByte();
        if (Pipe.InByte == -1)
            break;
        ++count;
        if (Inbound.Feed(quint8(Pipe.InByte & 0xFF), post))
            CheckMatchPacket();
        // The serial pipe gives each tick at most 101 bytes; the rest waits in the driver.
        if (Pipe.DataPipe == 1 && count > 100)
            break;
    }
    // Set once a call, not per packet: toggling a button costs more than a packet.
    if (Inbound.InState != 1)
        CommFlush->setEnabled(true);
}

void Form1::CheckMatchPacket()
{
    const bool matched = PacketMatches(Inbound.InLine, MatchMsg->text());
    WriteTrafficLine(Inbound.InLine);
    Inbound.InLine.clear();
    CommFlush->setEnabled(false);
    if (matched)
        SendCommand_Click();
}

void Form1::CommFlush_Click()
{
    WriteTrafficLine(Inbound.InLine);
    CommFlush->setEnabled(false);
    Inbound.Reset();
}

// The key dialog is made on first use and only hidden afterwards.
Form3 *Form1::KeyDialog()
{
    if (!KeyForm) {
        KeyForm = new Form3(this);
        connect(KeyForm, &Form3::UpdateRequested, this, [this](const QString &typed) {
            KeyByteText->setText(typed);
            UpdateKeyByte();
        });
    }
    return KeyForm;
}

void Form1::SetKeyByte_Click() { KeyDialog()->ShowKey(KeyText(Pipe.KeyByte)); }

void Form1::UpdateKeyByte()
{
    KeyByteText->setText(TrimSpaces(KeyByteText->text()));
    KeyByteText->setText(KeyByteText->text().toUpper());
    Pipe.KeyByte = HexToByte(KeyByteText->text(), [this](const QString &line) { Post(line); }) % 256;
    KeyByteText->setText(KeyText(Pipe.KeyByte));
    KeyDialog()->SetKeyText(KeyText(Pipe.KeyByte));
}

void Form1::SendABreak_Click() { Pipe.SendBreak(); }

// ---- Log file ---------------------------------------------------------------

void Form1::SelectLogFile_Click()
{
    Log.Close();
    Text2->clear();
    CloseLogFile->setEnabled(false);

    const FileRequest request{"Open Log File", "*.log", "Log Files (*.log)", "log", QDir::currentPath()};
    QString name;
    if (!CommonDialog1.Ask(request, &name)) {
        Post("Log File cancelled.");
        return;
    }
    if (name.isEmpty()) {
        Post("No Log specified.");
        return;
    }
    if (!Log.Open(name, QDateTime::currentDateTime())) {
        Post("Log File cancelled. " + Log.ErrorText());
        return;
    }
    Text2->setText(name + " - Active");
    Text2->end(false);
    CloseLogFile->setEnabled(true);
}

void Form1::CloseLogFile_Click()
{
    Log.Close();
    Text2->clear();
    CloseLogFile->setEnabled(false);
}

void Form1::LogFailed(const QString &line)
{
    Post(line);
    Text2->clear();
    CloseLogFile->setEnabled(false);
}

// ---- Script file ------------------------------------------------------------

void Form1::SelectScriptFile_Click() { Script.SelectScriptFile_Click(); }
void Form1::SendScriptFile_Click() { Script.SendScriptFile_Click(); }
void Form1::AbortScriptFile_Click() { Script.AbortScriptFile_Click(); }

void Form1::WriteLogMarker(const QString &marker) { Log.WriteMarker(marker); }
void Form1::SetEchoEnabled(bool on) { Traffic.EchoEnabled = on; }
void Form1::ShowScriptStatus(const QString &text) { Text8->setText(text); }

void Form1::ShowScriptPath(const QString &path)
{
    Text6->setText(path);
    Text6->end(false);
}

QString Form1::ScriptDelayText() { return Text7->text(); }
void Form1::SetScriptDelayText(const QString &text) { Text7->setText(text); }
void Form1::SendScriptPacket(const QByteArray &bytes) { SendBytes(bytes); }
void Form1::PostDebug(const QString &line) { Post(line); }

// ---- Shutdown ---------------------------------------------------------------

void Form1::ExitApp_Click() { close(); }
void Form1::AbortProgram_Click() { close(); }

void Form1::closeEvent(QCloseEvent *event)
{
    bool cancel = false;
    Form_QueryUnload(&cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    // Hidden, not closed: closing a shown Form2 would press its "Cancel" and post a line.
    Config->hide();
    for (QWidget *window : {static_cast<QWidget *>(KeyForm), static_cast<QWidget *>(About.data())}) {
        if (window)
            window->close();
    }
}

void Form1::Form_QueryUnload(bool *cancel)
{
    Post("Enter Form_QueryUnload");
    ExitRefused = false;
    ExitProgram();
    *cancel = ExitRefused;
}

void Form1::ExitProgram()
{
    if (TickBusy || ArrivalBusy) {
        Post("Exit attempt failed, timer stopped. --> Try again !");
        StopServiceTimer();
        ExitRefused = true;
        return;
    }
    if (ComPortOpen)
        CloseComPort();
    if (EthernetOpen)
        CloseEthernet();
    tmr1.reset();
    Text3->clear();
    if (Log.LogActive) {
        Log.Close();
        Post("Log file closed.");
    }
    Script.CloseForShutdown();
    CommFlush_Click();
}

// ---- About box --------------------------------------------------------------

void Form1::menuHelpAbout_Click() { About = ShowAboutBox(About); }

frmAbout *Form1::AboutBox() const { return About; }
