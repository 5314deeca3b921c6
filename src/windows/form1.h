#pragma once
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>

#include "app/benchfile.h"
#include "app/commandhistory.h"
#include "windows/frmabout.h"
#include "windows/linewindow.h"

class AnswersWindow;
class CommandsWindow;
class FileDialog;
class Form2;
class Form3;
class PortTable;
class Session;

// The main window: its controls forward each event to the session and show what
// the session reports.
class Form1 : public QMainWindow {
    Q_OBJECT
    Session &Run;

public:
    // ports: the serial driver's port table, if it has one, for the configuration dialog;
    // files: the file dialog bench files are chosen in.
    Form1(Session &session, PortTable *ports, FileDialog &files);

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
    void ShowCommandText(const QString &text);
    void FitStampedRow();
    void ShowBench(const Bench &bench);
    Bench CurrentBench() const;
    void SaveBench(const QString &path);
    void SendSaved(const QString &command);
    void SendSavedAt(int index);

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
};
