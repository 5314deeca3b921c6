#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

// Everything the session reports, as signals. The windows listen to the session itself
// when it runs on their thread, or to a SessionReports of their own thread that the
// session's reports are handed to (ReportBatch).
class SessionReports : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void DebugLine(const QString &line);
    // A Debug line about a lost link being brought back. It replaces the previous one
    // while no other Debug line came between, and comes only when its text changes.
    void DebugStatusLine(const QString &line);
    // A traffic line to show: wrapped at 19 bytes a row, or as one row. With
    // timestamps on, stamp is its time and delay an inbound packet's "(+x ms)".
    void TrafficLine(const QString &line, bool wrap, const QString &stamp, const QString &delay);
    // ClearTraffic was done: traffic lines before this one were made before it.
    void TrafficCleared();
    void LinkStatus(const QString &text);
    void PartialPacket(bool present);
    void KeyByteText(const QString &text);
    void DisplayEnabled(bool on);
    void CommandText(const QString &text);
    void ScriptDelayText(const QString &text);
    void ScriptStatus(const QString &text);
    void ScriptPath(const QString &path);
    void LogStatus(const QString &text); // empty while no log is open
    // For each answer rule, why it never answers, or an empty text.
    void AnswerProblems(const QStringList &problems);
    // The device a COM number opens changed without being asked (an adapter back under
    // another name).
    void PortDeviceMoved(int port, const QString &device);
    // The outcomes of ConfigureComms and QueryUnload: false when a busy handler refused.
    void ConfigureCommsDone(bool closed);
    void QueryUnloadDone(bool unloaded);
};
