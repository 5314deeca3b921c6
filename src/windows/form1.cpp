#include "windows/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>

#include "app/filedialog.h"
#include "app/portchoices.h"
#include "app/session.h"
#include "display/trafficwrap.h"
#include "windows/answerswindow.h"
#include "windows/clientarea.h"
#include "windows/commandswindow.h"
#include "windows/form2.h"
#include "windows/form3.h"
#include "windows/frmabout.h"
#include "windows/twips.h"

namespace {
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

template <typename Request> void Form1::Ask(Request request)
{
    QMetaObject::invokeMethod(&Run, [&run = Run, request] { request(run); });
}

Form1::Form1(Session &session, SessionReports &shown, bool portTable, FileDialog &files)
    : Run(session), Shown(shown), List1(new QListWidget), List2(new QListWidget), TrafficWindow(List1),
      DebugWindow(List2), Files(files), Answers(new AnswersWindow(this)), Saved(new CommandsWindow(this))
{
    setObjectName("Form1");
    setWindowTitle("Quillon");
    BuildMenus();
    BuildControls();
    if (portTable) {
        Ports = std::make_unique<PortChoices>([this](int port, const QString &device) {
            Ask([port, device](Session &run) { run.SetPortDevice(port, device); });
        });
    }
    Config = new Form2(this, Ports.get());
    connect(Config, &Form2::DebugLine, this, &Form1::PostMsg2);
    connect(Config, &Form2::DataPipeSelected, &Run, &Session::SetDataPipe);
    connect(Config, &Form2::ComPortSelected, &Run, &Session::SetComPort);
    connect(Config, &Form2::ComSpeedSelected, &Run, &Session::SetComSpeed);
    connect(Config, &Form2::InitializeSerial, this, [this] {
        Ask([](Session &run) { run.InitComPort(); });
        SendABreak->setEnabled(true);
    });
    connect(Config, &Form2::InitializeEthernet, this, [this](const QString &address, qint32 port) {
        Ask([address, port](Session &run) { run.InitWinSock(address, port); });
        SendABreak->setEnabled(false);
    });
    ShowSession();
}

Form1::~Form1() = default;

// What the session reports, shown in the controls.
void Form1::ShowSession()
{
    connect(&Shown, &SessionReports::DebugLine, this, &Form1::PostMsg2);
    connect(&Shown, &SessionReports::DebugStatusLine, this, [this](const QString &line) { DebugWindow.ShowStatusRow(line); });
    connect(&Shown, &SessionReports::TrafficLine, this,
            [this](const QString &line, bool wrap, const QString &stamp, const QString &delay) {
                if (ClearsAsked > 0) // made before the clear the window has shown already
                    return;
                if (!stamp.isEmpty())
                    TrafficWindow.AppendRows(StampedRows(line, wrap, stamp, delay));
                else if (wrap)
                    TrafficWindow.AppendWrapped(line);
                else
                    TrafficWindow.AppendRow(line);
            });
    connect(&Shown, &SessionReports::TrafficCleared, this, [this] { --ClearsAsked; });
    connect(&Shown, &SessionReports::LinkStatus, Text3, &QLineEdit::setText);
    connect(&Shown, &SessionReports::PartialPacket, CommFlush, &QPushButton::setEnabled);
    connect(&Shown, &SessionReports::KeyByteText, this, [this](const QString &text) {
        KeyByteText->setText(text);
        if (KeyForm)
            KeyForm->SetKeyText(text);
    });
    connect(&Shown, &SessionReports::DisplayEnabled, this,
            [this](bool on) { CommDisplayControl->setText(on ? "Disable" : "Enable"); });
    connect(&Shown, &SessionReports::CommandText, this, &Form1::ShowCommandText);
    connect(&Shown, &SessionReports::ScriptDelayText, Text7, &QLineEdit::setText);
    connect(&Shown, &SessionReports::ScriptStatus, Text8, &QLineEdit::setText);
    connect(&Shown, &SessionReports::ScriptPath, this, [this](const QString &path) {
        Text6->setText(path);
        Text6->end(false);
    });
    connect(&Shown, &SessionReports::LogStatus, this, [this](const QString &text) {
        Text2->setText(text);
        Text2->end(false);
        CloseLogFile->setEnabled(!text.isEmpty());
    });
    connect(Text5, &QLineEdit::textChanged, &Run, &Session::SetCommandText);
    Text5->installEventFilter(this);
    connect(MatchMsg, &QLineEdit::textChanged, &Run, &Session::SetMatchText);
    connect(Text7, &QLineEdit::textChanged, &Run, &Session::SetScriptDelayText);
    connect(Answers, &AnswersWindow::RulesChanged, &Run, &Session::SetAnswers);
    connect(&Shown, &SessionReports::AnswerProblems, Answers, &AnswersWindow::ShowProblems);
    connect(Saved, &CommandsWindow::SendRequested, this, &Form1::SendSaved);
    connect(&Shown, &SessionReports::PortDeviceMoved, this, [this](int port, const QString &device) {
        if (Ports)
            Ports->Moved(port, device);
    });
    connect(&Shown, &SessionReports::ConfigureCommsDone, this, [this](bool closed) {
        if (AfterConfigure.empty()) // asked by someone else
            return;
        const std::function<void()> then = std::move(AfterConfigure.front());
        AfterConfigure.pop_front();
        if (closed)
            then();
    });
    connect(&Shown, &SessionReports::QueryUnloadDone, this, &Form1::ShowUnload);
}

void Form1::BuildMenus()
{
    QMenu *fileMenu = menuBar()->addMenu("&File");
    fileMenu->setObjectName("FileMenu");
    const std::tuple<const char *, const char *, void (Form1::*)()> benchFile[] = {
        {"&Open Bench File…", "OpenBenchFile", &Form1::OpenBenchFile_Click},
        {"&Save Bench File", "SaveBenchFile", &Form1::SaveBenchFile_Click},
        {"Save Bench File &As…", "SaveBenchFileAs", &Form1::SaveBenchFileAs_Click}};
    for (const auto &[caption, name, handler] : benchFile) {
        QAction *action = fileMenu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
    }
    SaveBenchFile = fileMenu->findChild<QAction *>("SaveBenchFile");
    SaveBenchFile->setEnabled(false); // until a bench file is open
    fileMenu->addSeparator();
    QAction *exitApp = fileMenu->addAction("E&xit");
    exitApp->setObjectName("ExitApp");
    connect(exitApp, &QAction::triggered, this, &Form1::ExitApp_Click);

    QMenu *viewMenu = menuBar()->addMenu("&View");
    viewMenu->setObjectName("ViewMenu");
    ViewTimestamps = viewMenu->addAction("&Timestamps");
    ViewTimestamps->setObjectName("ViewTimestamps");
    ViewTimestamps->setCheckable(true);
    connect(ViewTimestamps, &QAction::toggled, &Run, &Session::SetTimestamps);
    connect(ViewTimestamps, &QAction::toggled, this, [this](bool on) {
        if (on)
            FitStampedRow();
    });

    // The bench's own tools, each in a window of its own, and its link kept up.
    QMenu *benchMenu = menuBar()->addMenu("&Bench");
    benchMenu->setObjectName("BenchMenu");
    const std::tuple<const char *, const char *, QDialog *> windows[] = {
        {"&Answers…", "BenchAnswers", Answers}, {"&Commands…", "BenchCommands", Saved}};
    for (const auto &[caption, name, window] : windows) {
        QAction *action = benchMenu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, window, [window = window] {
            window->show();
            window->raise();
            window->activateWindow();
        });
    }
    benchMenu->addSeparator();
    BenchReconnect = benchMenu->addAction("&Reconnect When Lost");
    BenchReconnect->setObjectName("BenchReconnect");
    BenchReconnect->setCheckable(true);
    connect(BenchReconnect, &QAction::toggled, &Run, &Session::SetReconnect);

    QMenu *helpMenu = menuBar()->addMenu("&Help");
    helpMenu->setObjectName("menuHelp");
    QAction *about = helpMenu->addAction("&About");
    about->setObjectName("menuHelpAbout");
    connect(about, &QAction::triggered, this, &Form1::menuHelpAbout_Click);
}

void Form1::BuildControls()
{
    auto *area = new ClientArea(QSize(Twips(7215), Twips(8175)));
    area->setObjectName("Form1Client");
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
    KeyByteText->setReadOnly(true); // the key is set in "Set Key" only
    Label(area, "Label3", "OutBound Command", TwipsRect(2280, 2880, 2055, 255));
    SendCommand = Button(area, "SendCommand", "Send Command", TwipsRect(240, 3000, 1695, 375));
    SendCommand->setDefault(true);
    Text5 = TextBox(area, "Text5", TwipsRect(2160, 3120, 4815, 285), "OutBound Command");
    SendABreak = Button(area, "SendABreak", "Send Break", TwipsRect(720, 3480, 1215, 255));
    SendABreak->setEnabled(false);
    Label(area, "Label8", "Match Packet - sends OutBound Command", TwipsRect(2280, 3480, 4455, 255));
    MatchMsg = TextBox(area, "MatchMsg", TwipsRect(2160, 3720, 4815, 285), "Match Packet - sends OutBound Command");
    Label(area, "Label4", "Script File Delay: ", TwipsRect(240, 4200, 1695, 255), Qt::AlignRight);
    Text7 = TextBox(area, "Text7", TwipsRect(2160, 4200, 735, 285), "Script File Delay");
    Label(area, "Label7", " (msec.)", TwipsRect(3000, 4200, 855, 255));
    SendScriptFile = Button(area, "SendScriptFile", "Send Script File", TwipsRect(240, 4560, 1695, 255));
    Text6 = TextBox(area, "Text6", TwipsRect(2160, 4560, 4815, 285), "Script file");
    AbortScriptFile = Button(area, "AbortScriptFile", "Abort Script File", TwipsRect(240, 4920, 1695, 255));
    SelectScriptFile = Button(area, "SelectScriptFile", "Select Script File", TwipsRect(2160, 4920, 1695, 255));
    Label(area, "Label6", "Script file status: ", TwipsRect(3960, 4920, 1695, 255), Qt::AlignRight);
    Text8 = TextBox(area, "Text8", TwipsRect(5880, 4920, 1095, 285), "Script file status");
    Label(area, "Label5", "Service time interval (msec): ", TwipsRect(3360, 5400, 2895, 255), Qt::AlignRight);
    Text1 = TextBox(area, "Text1", TwipsRect(6360, 5400, 615, 285), "Service time interval (msec)");
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

    area->Grow(List1, {List1, List2, Text5, MatchMsg, Text6, Text2, Text3});

    const std::pair<QPushButton *, void (Form1::*)()> handlers[] = {
        {ClearCommWindow, &Form1::ClearCommWindow_Click}, {CommDisplayControl, &Form1::CommDisplayControl_Click},
        {CommFlush, &Form1::CommFlush_Click},             {SetKeyByte, &Form1::SetKeyByte_Click},
        {SendCommand, &Form1::SendCommand_Click},         {SendABreak, &Form1::SendABreak_Click},
        {SendScriptFile, &Form1::SendScriptFile_Click},   {AbortScriptFile, &Form1::AbortScriptFile_Click},
        {SelectScriptFile, &Form1::SelectScriptFile_Click}, {SelectLogFile, &Form1::SelectLogFile_Click},
        {CloseLogFile, &Form1::CloseLogFile_Click},       {ConfigComPort, &Form1::ConfigComPort_Click},
        {ClearDebugWindow, &Form1::ClearDebugWindow_Click}, {AbortProgram, &Form1::AbortProgram_Click}};
    for (const auto &[button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, handler);

    // SendCommand is the default button: Enter presses it unless another button has
    // the focus, which Enter then presses instead.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            auto *focused = qobject_cast<QPushButton *>(focusWidget());
            (focused ? focused : SendCommand)->click();
        });
    }
    // Ctrl+1 … Ctrl+9 send the first nine saved commands.
    for (int i = 0; i < 9; ++i) {
        connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), this), &QShortcut::activated, this,
                [this, i] { SendSavedAt(i); });
    }
}

void Form1::InitVariables()
{
    Ask([](Session &run) { run.InitVariables(); });
    Text1->setText("----");
    for (QLineEdit *box : {Text2, Text3, Text5, Text6, Text8})
        box->clear();
    ShowBench(Bench()); // every setting a bench file holds, at its start-up default
    for (QLineEdit *box : {Text2, Text3, Text6, Text8})
        box->end(false);
    CommFlush->setEnabled(false);
    CloseLogFile->setEnabled(false);
    TrafficWindow.Clear();
    DebugWindow.Clear();
}

// A row of 19 bytes with its time and delay is wider than the traffic window at its
// start size: the window grows to show it whole, scroll bar included, as far as the
// screen has room. It never shrinks here: the user may have made it wider.
void Form1::FitStampedRow()
{
    // The widest row: a continuation row of 19 bytes, and the delay behind it.
    const QString row = StampedRows("--> " + QString("00 ").repeated(38), true, "00:00:00.000", "(+999.999 ms)").last();
    const int margin = List1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List1) + 1;
    const int needs = List1->fontMetrics().horizontalAdvance(row) + 2 * margin + 2 * List1->frameWidth()
        + List1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, List1);
    const QRect room = screen()->availableGeometry();
    const int frame = frameGeometry().width() - width();
    const int wide = qMin(width() + needs - List1->width(), room.width() - frame);
    if (wide <= width())
        return;
    resize(wide, height());
    if (frameGeometry().right() > room.right())
        move(room.right() + 1 - frameGeometry().width(), y());
}

void Form1::PostMsg2(const QString &line) { DebugWindow.AppendRow(line); }

void Form1::SendCommand_Click()
{
    Ask([](Session &run) { run.SendCommand(); });
    History.Add(Text5->text());
    Text5->selectAll();
    Text5->setFocus();
}

// A saved command goes out as the box's does and is remembered as it is.
void Form1::SendSaved(const QString &command)
{
    Ask([command](Session &run) { run.SendSavedCommand(command); });
    History.Add(command);
}

void Form1::SendSavedAt(int index)
{
    const QList<SavedCommand> saved = Saved->Commands();
    if (index < saved.size())
        SendSaved(saved[index].command);
    else
        PostMsg2(QString("No saved command %1: \"Bench\" > \"Commands…\" adds it.").arg(index + 1));
}

// An automatic reply leaves the keyboard where it is: only the text changes.
void Form1::ShowCommandText(const QString &text)
{
    if (Text5->text() == text)
        return;
    const int cursor = Text5->cursorPosition();
    Text5->setText(text);
    Text5->setCursorPosition(qMin(cursor, int(text.size())));
}

// Up and Down in the command box walk the commands sent.
bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Text5 || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    if (const auto command = key == Qt::Key_Up ? History.Older() : History.Newer())
        Text5->setText(*command);
    return true;
}

void Form1::CommFlush_Click() { Ask([](Session &run) { run.CommFlush(); }); }
void Form1::SendABreak_Click() { Ask([](Session &run) { run.SendBreak(); }); }

// Cleared at once; lines the session made before it cleared are not shown.
void Form1::ClearCommWindow_Click()
{
    TrafficWindow.Clear();
    ++ClearsAsked;
    Ask([](Session &run) { run.ClearTraffic(); });
}

void Form1::CommDisplayControl_Click() { Ask([](Session &run) { run.ToggleDisplay(); }); }
void Form1::ClearDebugWindow_Click() { DebugWindow.Clear(); }

// The key dialog is made on first use and only hidden afterwards.
Form3 *Form1::KeyDialog()
{
    if (!KeyForm) {
        KeyForm = new Form3(this);
        connect(KeyForm, &Form3::UpdateRequested, &Run, &Session::UpdateKeyByte);
    }
    return KeyForm;
}

void Form1::SetKeyByte_Click() { KeyDialog()->ShowKey(KeyByteText->text()); }

void Form1::ConfigComPort_Click()
{
    ConfigureCommsThen([this] {
        Config->show();
        Config->raise();
        Config->activateWindow();
    });
}

// The session closes the link first; a busy handler may refuse, and then nothing follows.
void Form1::ConfigureCommsThen(std::function<void()> then)
{
    AfterConfigure.push_back(std::move(then));
    Ask([](Session &run) { run.ConfigureComms(); });
}

// The dialog runs here, on the window's thread; the session gets the name, or none for a cancel.
std::optional<QString> Form1::AskFileName(const FileRequest &request)
{
    QString name;
    return Files.Ask(request, &name) ? std::optional<QString>(name) : std::nullopt;
}

void Form1::SelectLogFile_Click()
{
    const auto name = AskFileName({"Open Log File", "*.log", "Log Files (*.log)", "log", QDir::currentPath()});
    Ask([name](Session &run) { run.SelectLogFile(name); });
}

void Form1::SelectScriptFile_Click()
{
    const auto name = AskFileName({"Select Script File", "*.dwn", "Script Files (*.dwn)", "dwn", QDir::currentPath()});
    Ask([name](Session &run) { run.SelectScriptFile(name); });
}

void Form1::CloseLogFile_Click() { Ask([](Session &run) { run.CloseLogFile(); }); }
void Form1::SendScriptFile_Click() { Ask([](Session &run) { run.SendScriptFile(); }); }
void Form1::AbortScriptFile_Click() { Ask([](Session &run) { run.AbortScriptFile(); }); }
void Form1::ExitApp_Click() { close(); }
void Form1::AbortProgram_Click() { close(); }
void Form1::menuHelpAbout_Click() { About = ShowAboutBox(About); }

// ---- Bench files ----------------------------------------------------------------

// The dialog's name goes to `then`; a cancel or no name is said in the Debug window.
void Form1::WithBenchFile(const FileRequest &request, void (Form1::*then)(const QString &))
{
    const std::optional<QString> name = AskFileName(request);
    if (!name)
        PostMsg2("Bench file cancelled.");
    else if (name->isEmpty())
        PostMsg2("No Bench file specified.");
    else
        (this->*then)(*name);
}

void Form1::OpenBenchFile_Click()
{
    WithBenchFile({"Open Bench File", "*.qbench", "Bench Files (*.qbench)", "qbench", QDir::currentPath()},
                  &Form1::OpenBench);
}

void Form1::OpenBench(const QString &path)
{
    const BenchRead read = ReadBenchFile(path);
    if (!read.error.isEmpty())
        return PostMsg2("Bench file not opened: " + path + ": " + read.error);
    // New link settings never change a link that is open: it is closed as "Configure Comms" does.
    ConfigureCommsThen([this, read, path] {
        ShowBench(read.bench);
        BenchPath = path;
        SaveBenchFile->setEnabled(true);
        PostMsg2("Bench file opened: " + path + "; \"Initialize\" opens its link.");
        for (const QString &field : read.ignored)
            PostMsg2("Bench file: unknown field \"" + field + "\" ignored.");
    });
}

void Form1::ShowBench(const Bench &bench)
{
    Config->ShowLink(bench);
    Ask([key = bench.key](Session &run) { run.UpdateKeyByte(key); });
    MatchMsg->setText(bench.match);
    Text5->setText(bench.command);
    Text7->setText(QString::number(bench.scriptDelay));
    for (QLineEdit *box : {MatchMsg, Text5, Text7})
        box->end(false);
    ViewTimestamps->setChecked(bench.timestamps);
    BenchReconnect->setChecked(bench.reconnect);
    Answers->SetRules(bench.answers);
    Saved->SetCommands(bench.commands);
}

// What the window shows; what the session was told is the same.
Bench Form1::CurrentBench() const
{
    Bench bench;
    Config->TakeLink(bench);
    bench.key = KeyByteText->text();
    bench.match = MatchMsg->text();
    bench.command = Text5->text();
    bool number = false;
    bench.scriptDelay = Text7->text().trimmed().toInt(&number);
    if (!number)
        bench.scriptDelay = -1; // refused with the field's rule
    bench.timestamps = ViewTimestamps->isChecked();
    bench.reconnect = BenchReconnect->isChecked();
    bench.answers = Answers->Rules();
    bench.commands = Saved->Commands();
    return bench;
}

void Form1::SaveBenchFile_Click() { SaveBench(BenchPath); }

void Form1::SaveBenchFileAs_Click()
{
    const QString initial = BenchPath.isEmpty() ? "bench.qbench" : BenchPath;
    WithBenchFile({"Save Bench File As", initial, "Bench Files (*.qbench)", "qbench", QDir::currentPath(), true},
                  &Form1::SaveBench);
}

void Form1::SaveBench(const QString &path)
{
    if (const QString error = WriteBenchFile(path, CurrentBench()); !error.isEmpty())
        return PostMsg2("Bench file not saved: " + path + ": " + error);
    BenchPath = path;
    SaveBenchFile->setEnabled(true);
    PostMsg2("Bench file saved: " + path);
}

// The window goes once the session has closed the link and the log, and it has shown
// the session's last lines; refused, it stays.
void Form1::closeEvent(QCloseEvent *event)
{
    if (!Unloaded && !ExitAsked) {
        ExitAsked = true;
        Closing = true;
        Ask([](Session &run) { run.QueryUnload(); });
        Closing = false;
    }
    if (!Unloaded) {
        event->ignore();
        return;
    }
    event->accept();
    // Hidden, not closed: closing a shown Form2 would press its "Cancel" and post a line.
    Config->hide();
    for (QWidget *window : {static_cast<QWidget *>(KeyForm), static_cast<QWidget *>(About.data()),
                            static_cast<QWidget *>(Answers), static_cast<QWidget *>(Saved)}) {
        if (window)
            window->close();
    }
}

void Form1::ShowUnload(bool unloaded)
{
    ExitAsked = false;
    Unloaded = unloaded;
    // After the session's last lines reached the lists (when the loop is next free); else
    // closeEvent, asking on this thread, takes the answer.
    if (unloaded && !Closing)
        QTimer::singleShot(1, this, &QWidget::close);
}
