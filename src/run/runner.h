#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/session.h"
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "run/junitreport.h"

// What quillon-run was asked to do.
struct RunOptions {
    bool serial = false;
    QString host;          // TCP: the device's address and port
    quint16 port = 0;
    QString device;        // serial: the device COM number comPort opens (empty: the port found), at comSpeed (1..5)
    int comPort = 1;
    qint16 comSpeed = 2;
    QString key;           // key byte text; empty leaves the key at 00
    QString delay = "1000"; // the script delay box
    QString match, reply;  // the match packet and the command that answers it
    QList<AnswerRule> answers;
    QString log;           // log file; empty for none
    bool timestamps = false;
    int waitMs = 1000;     // after the script completes
    int timeoutS = 0;      // the whole run; 0: none
    bool reconnect = false; // a lost link is waited for, not a failure
    QStringList scripts;   // run one after the other
    QString expect;        // one script's expected transcript; empty: SCRIPT.expect
    bool record = false;   // write the expected transcripts instead of comparing
    QString junit;         // JUnit report; empty for none
};

// Parses quillon-run's arguments. Returns 0 with *options filled, 2 after printing a
// usage error to stderr, or -1 after printing help or the version to stdout.
int ParseRunOptions(const QStringList &arguments, RunOptions *options);

// One run without a window: the session a window would drive, driven in the order a
// user does it (log, link, each script in turn), with what the window would show
// written to stdout (traffic) and stderr (Debug). Each script's traffic lines are
// compared with its expected transcript, when it has one. Finished carries the exit code.
class Runner : public QObject {
    Q_OBJECT
public:
    explicit Runner(const RunOptions &options, QObject *parent = nullptr);
    // Call from the event loop.
    void Start();

signals:
    void Finished(int code);

private:
    void StartNext();
    void ScriptDone();
    QString ExpectFile(const QString &script) const;
    void Failed(ScriptResult &result, const QString &why);
    void ScriptStatusChanged(const QString &text);
    void LinkStatusChanged(const QString &text);
    void Stop(const QString &why);
    void Finish();
    void FailUnfinished();
    void Close();

    RunOptions Options;
    QtSerialDriver Driver;
    TcpSocketControl Socket;
    Session Run;
    QString ScriptState;
    QList<ScriptResult> Results; // one per script, in order
    qsizetype Current = -1;      // the script running or waiting for late replies
    QElapsedTimer Clock;         // since it started
    QString LastDebug;           // the session's latest Debug line: why a link went down
    bool Stopped = false;        // the scripts not finished fail, with StopReason
    QString StopReason;          // empty: LastDebug
    bool LinkUp = false;
    bool LogOpen = false;
    bool Finishing = false;
};
