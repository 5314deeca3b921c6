#pragma once
#include <QString>

class LineWindow;
class LogFile;

// The two traffic writers: each shows and logs one line, then empties the caller's string.
class TrafficWriter
{
public:
    TrafficWriter(LineWindow &traffic, LogFile &log);

    bool EchoEnabled = true;
    bool DisplayEnabled = true;

    // Logged whole; shown wrapped only while echo and display are both on.
    void WriteTrafficLine(QString &line);
    // Shown as one row whatever the switches say, then logged.
    void WriteTextLine(QString &line);

private:
    LineWindow &Traffic;
    LogFile &Log;
};
