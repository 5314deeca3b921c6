#pragma once
#include <QByteArray>
#include <QString>

// What the script runner needs from the main window, which owns the traffic window,
// the log, the echo switch, the script controls and the data pipe.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual void WriteTrafficLine(QString &line) = 0; // echo-controlled, logged
    virtual void WriteTextLine(QString &line) = 0;    // always shown, logged
    // An empty line, the marker and an empty line, only while a log is active.
    virtual void WriteLogMarker(const QString &marker) = 0;
    virtual void SetEchoEnabled(bool on) = 0;
    virtual void ShowScriptStatus(const QString &text8) = 0;
    virtual void ShowScriptPath(const QString &text6) = 0; // caret goes to the end
    virtual QString ScriptDelayText() = 0;
    virtual void SetScriptDelayText(const QString &text) = 0;
    virtual void SendScriptPacket(const QByteArray &bytes) = 0; // through OutPacket and SendPipePacket
    virtual void PostDebug(const QString &line) = 0;
};
