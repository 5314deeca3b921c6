#include "script/scriptrunner.h"
#include "display/safeopen.h"
#include "protocol/hextext.h"

ScriptRunner::ScriptRunner(ScriptHost &host)
    : host_(host), post_([&host](const QString &line) { host.PostDebug(line); })
{
}

void ScriptRunner::CloseScript()
{
    reader_.reset();
    file_.close();
}

void ScriptRunner::Reset()
{
    CloseScript();
    ScriptFileName.clear();
    ScriptState = 0;
    ScriptDelayCount = 0;
}

void ScriptRunner::Unselect()
{
    CloseScript(); // a running script stops here without any line
    ScriptFileName.clear();
    ScriptState = 0;
    host_.ShowScriptStatus(QString());
    host_.SetEchoEnabled(true);
    host_.ShowScriptPath(QString());
}

void ScriptRunner::Select(const QString &name)
{
    ScriptFileName = name;
    host_.ShowScriptStatus(QStringLiteral("Inactive."));
    host_.ShowScriptPath(ScriptFileName);
    ScriptState = 1;
}

void ScriptRunner::SendScriptFile_Click()
{
    if (ScriptState == 0) {
        host_.PostDebug(QStringLiteral("No Script file specified."));
        host_.ShowScriptStatus(QString());
        host_.SetEchoEnabled(true);
        return;
    }
    if (ScriptState == 2) {
        CloseScript();
        ScriptState = 1;
        host_.ShowScriptStatus(QStringLiteral("Inactive."));
        host_.WriteLogMarker(QStringLiteral("### Script file stopped."));
        host_.SetEchoEnabled(true);
    }
    if (ScriptState == 1) {
        ScriptDelayCount = 0;
        file_.setFileName(ScriptFileName);
        if (OpenWithoutBlocking(file_, QIODevice::ReadOnly)) {
            reader_ = std::make_unique<ScriptLineReader>(file_);
            host_.WriteLogMarker(QStringLiteral("### Start Script File: ") + ScriptFileName);
            ScriptState = 2;
            host_.ShowScriptStatus(QStringLiteral("Active."));
            host_.SetEchoEnabled(true);
            return;
        }
    }
    // A bad state, or a file removed or locked since it was selected.
    ScriptFileName.clear();
    ScriptState = 0;
    host_.ShowScriptStatus(QString());
    host_.ShowScriptPath(QString());
    host_.PostDebug(QStringLiteral("Error in starting Script file."));
    host_.SetEchoEnabled(true);
}

void ScriptRunner::AbortScriptFile_Click()
{
    if (ScriptState != 2)
        return;
    ScriptState = 1;
    CloseScript();
    host_.ShowScriptStatus(QStringLiteral("Aborted."));
    host_.SetEchoEnabled(true);
    host_.WriteLogMarker(QStringLiteral("### Script file aborted."));
}

void ScriptRunner::RunScriptStep()
{
    if (ScriptState != 2)
        return;
    if (ScriptDelayCount > 0) {
        --ScriptDelayCount;
        return;
    }
    // Blank, comment and echo lines cost no tick; the step ends after one command line,
    // or after FreeLinesPerStep others, so that no file can hold up the window.
    for (int freeLines = 0; freeLines < FreeLinesPerStep; ++freeLines) {
        if (reader_->AtEnd()) {
            CloseScript();
            ScriptState = 1;
            host_.ShowScriptStatus(QStringLiteral("Completed."));
            host_.SetEchoEnabled(true);
            host_.WriteLogMarker(QStringLiteral("### Script file completed."));
            return;
        }
        const std::optional<QByteArray> raw = reader_->ReadLine();
        if (!raw)
            return; // the rest of an endless line: passed over a little each tick
        ScriptLine line = ClassifyScriptLine(*raw);
        switch (line.kind) {
        case ScriptLineKind::Blank:
        case ScriptLineKind::Comment:
            host_.WriteTrafficLine(line.text);
            break;
        case ScriptLineKind::EchoOn:
        case ScriptLineKind::EchoOff:
            host_.SetEchoEnabled(line.kind == ScriptLineKind::EchoOn);
            break;
        case ScriptLineKind::EchoText:
            host_.WriteTextLine(line.text);
            break;
        case ScriptLineKind::Command:
            SendCommandLine(line.text);
            return;
        }
    }
}

void ScriptRunner::SendCommandLine(const QString &line)
{
    const QString command = line + QLatin1Char(' ');

    // A cut command could do harm on the vehicle, so an over-long line is not sent at all.
    // The delay is loaded all the same: every command line, sent or not, takes its slot.
    const ParsedCommand parsed = ParseCommandText(command, LineCapacity, post_);
    if (parsed.tooLong)
        host_.PostDebug(QStringLiteral("Script line longer than 4097 bytes skipped."));
    else if (!parsed.bytes.isEmpty() && host_.SendScriptPacket(parsed.bytes))
        host_.WriteTrafficLine(QStringLiteral("<<- ") + command);

    if (host_.ScriptDelay().isEmpty())
        host_.SetScriptDelay(QStringLiteral("1000"));
    ScriptDelayCount = ScriptDelayTicks(host_.ScriptDelay());
}

void ScriptRunner::CloseForShutdown()
{
    if (ScriptState == 0)
        return;
    CloseScript();
    ScriptState = 0;
    host_.ShowScriptStatus(QStringLiteral("Closed"));
}
