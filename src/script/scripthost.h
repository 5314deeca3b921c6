#pragma once
#include <QByteArray>
#include <QString>

// What the script runner needs from the run that owns it: the traffic writers and
// the log, the echo switch, the script's status and path, the delay box and the pipe.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual void WriteTrafficLine(const QString &line) = 0; // echo-controlled, logged
    virtual void WriteTextLine(const QString &line) = 0;    // always shown, logged
    // An empty line, the marker and an empty line, only while a log is active.
    virtual void WriteLogMarker(const QString &marker) = 0;
    virtual void SetEchoEnabled(bool on) = 0;
    virtual void ShowScriptStatus(const QString &text8) = 0;
    virtual void ShowScriptPath(const QString &text6) = 0;
    virtual QString ScriptDelay() = 0;
    virtual void SetScriptDelay(const QString &text) = 0;
    // True when the bytes were handed to an open link.
    virtual bool SendScriptPacket(const QByteArray &bytes) = 0;
    virtual void PostDebug(const QString &line) = 0;
};
