#include "display/logfile.h"
#include "display/safeopen.h"

namespace {
const int FlushAt = 64 * 1024; // bounds memory during a long burst
}

bool LogFile::Open(const QString &path, const QDateTime &now)
{
    Close();
    File.setFileName(path);
    // Unbuffered: every Flush is one write(2), so nothing waits inside QFile.
    if (!OpenWithoutBlocking(File, QIODevice::Append | QIODevice::Unbuffered))
        return false;
    LogActive = true;
    LogFileName = path;
    WriteLine("*****");
    WriteLine("Log File:  " + path);
    WriteLine("Date:      " + now.toString("MM-dd-yyyy"));
    WriteLine("Time:      " + now.toString("HH:mm:ss"));
    WriteLine("*****");
    WriteLine("");
    return true;
}

void LogFile::WriteLine(const QString &line)
{
    if (!LogActive)
        return;
    // Encoded straight onto the pending bytes: a flood logs hundreds of MB.
    const qsizetype at = Pending.size();
    Pending.resize(at + Local8Bit.requiredSpace(line.size()) + 2);
    char *end = Local8Bit.appendToBuffer(Pending.data() + at, line);
    *end++ = '\r';
    *end++ = '\n';
    Pending.truncate(end - Pending.constData());
    if (Pending.size() >= FlushAt)
        Flush();
}

void LogFile::WriteMarker(const QString &marker)
{
    WriteLine("");
    WriteLine(marker);
    WriteLine("");
}

void LogFile::Flush()
{
    if (Pending.isEmpty())
        return;
    // Writing to a removed file would succeed and lose every line unseen.
    if (!QFile::exists(LogFileName))
        return Fail("the file no longer exists");
    if (File.write(Pending) != Pending.size())
        return Fail(File.errorString());
    Pending.truncate(0); // keeps the buffer for the next burst
}

void LogFile::Close()
{
    Flush();
    Release();
}

void LogFile::Release()
{
    Pending.clear();
    File.close();
    LogActive = false;
    LogFileName.clear();
}

void LogFile::Fail(const QString &reason)
{
    Release();
    if (OnFailure)
        OnFailure("Error writing log file: " + reason + ". Log file closed.");
}
