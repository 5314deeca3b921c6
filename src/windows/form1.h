#pragma once
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/benchfile.h"
#include "app/commandhistory.h"
#include "windows/frmabout.h"
#include "windows/linewindow.h"

class AnswersWindow;
class CommandsWindow;
class FileDialog;
struct FileRequest;
class Form2;
class Form3;
class PortChoices;
class Session;
class SessionReports;

// The main window: its controls forward each event to the session and show what
// the session reports. It never reads the session's state: the session may run on a
// thread of its own, and what the window shows is what the session reported.
class Form1 : public QMainWindow {
    Q_OBJECT
    Session &Run;
    SessionReports &Shown;

public:
    // session: asked for everything, on its own thread; shown: what it reports, on this
    // window's (the session itself when it runs here). portTable: the serial driver keeps
    // which device each COM number opens, and the configuration dialog shows and edits it.
    // files: the file dialog log, script and bench files are chosen in.
    Form1(Session &session, SessionReports &shown, bool portTable, FileDialog &files);
    ~Form1() override;

    // Every control back to its start-up text, and the session to its defaults.
    void InitVariables();
    void PostMsg2(const QString &line);

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
    void OpenBenchFile_Click();
    void SaveBenchFile_Click();
    void SaveBenchFileAs_Click();

    // Puts every setting of the bench file in place, or says why not; opens no link.
    void OpenBench(const QString &path);

    Form2 *ConfigDialog() const { return Config; }
    Form3 *KeyDialog();
    frmAbout *AboutBox() const { return About; }
    AnswersWindow *AnswersDialog() const { return Answers; }
    CommandsWindow *CommandsDialog() const { return Saved; }

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

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ShowSession();
    // Asks the session: at once when it runs on this thread, else queued to its own.
    template <typename Request> void Ask(Request request);
    std::optional<QString> AskFileName(const FileRequest &request);
    void ConfigureCommsThen(std::function<void()> then);
    void ShowCommandText(const QString &text);
    void FitStampedRow();
    void ShowBench(const Bench &bench);
    Bench CurrentBench() const;
    void WithBenchFile(const FileRequest &request, void (Form1::*then)(const QString &));
    void SaveBench(const QString &path);
    void SendSaved(const QString &command);
    void SendSavedAt(int index);
    void ShowUnload(bool unloaded);

    CommandHistory History;
    LineWindow TrafficWindow;
    LineWindow DebugWindow;
    Form2 *Config = nullptr;
    Form3 *KeyForm = nullptr;
    QPointer<frmAbout> About;
    FileDialog &Files;
    AnswersWindow *Answers;
    CommandsWindow *Saved;
    QAction *ViewTimestamps = nullptr, *BenchReconnect = nullptr, *SaveBenchFile = nullptr;
    QString BenchPath; // the bench file opened or saved last
    std::unique_ptr<PortChoices> Ports;
    // What to do once the session has closed the link for new settings, oldest first.
    std::deque<std::function<void()>> AfterConfigure;
    int ClearsAsked = 0;    // traffic lines come from before the session cleared
    bool ExitAsked = false; // the session closes the link and the log for the exit
    bool Unloaded = false;  // it has: the window may go
    bool Closing = false;   // in closeEvent
};
