#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringEncoder>
#include <functional>

// The log file: an appended 8-bit text copy of the traffic lines, CR LF endings.
// Lines are gathered in memory and handed to the system by Flush, which the main
// window calls at the end of every event handler.
class LogFile
{
public:
    bool LogActive = false;
    QString LogFileName;
    // Told once, with one Debug line, when a write fails and the log is closed.
    std::function<void(const QString &debugLine)> OnFailure;

    bool Open(const QString &path, const QDateTime &now);
    void WriteLine(const QString &line);
    void WriteMarker(const QString &marker);
    void Flush();
    void Close();
    // Why the last Open failed.
    QString ErrorText() const { return File.errorString(); }

private:
    void Release();
    void Fail(const QString &reason);

    QFile File;
    QByteArray Pending;
    QStringEncoder Local8Bit{QStringEncoder::System}; // what toLocal8Bit gives
};
