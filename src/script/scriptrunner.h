#pragma once
#include "display/postmsg.h"
#include "script/scripthost.h"
#include "script/scriptreader.h"
#include <QFile>
#include <memory>

// Selects, starts, stops, aborts and paces a script file of commands. The service
// tick calls RunScriptStep; at most one command line goes out per step.
class ScriptRunner {
public:
    static constexpr int LineCapacity = 4097; // bytes one script command line may carry
    static constexpr int FreeLinesPerStep = 10000;

    explicit ScriptRunner(ScriptHost &host);

    // Start-up: nothing selected, nothing open.
    void Reset();
    // Stops a running script without any line and forgets the selection.
    void Unselect();
    void Select(const QString &name);
    void SendScriptFile_Click();
    void AbortScriptFile_Click();
    void RunScriptStep();
    void CloseForShutdown();

    qint16 State() const { return ScriptState; }

private:
    void CloseScript();
    void SendCommandLine(const QString &line);

    qint16 ScriptState = 0; // 0 none selected, 1 selected and idle, 2 running
    QString ScriptFileName;
    int ScriptDelayCount = 0;

    ScriptHost &host_;
    PostMsg post_;
    QFile file_;
    std::unique_ptr<ScriptLineReader> reader_;
};
