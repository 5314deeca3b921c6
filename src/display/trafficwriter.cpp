#include "display/trafficwriter.h"
#include "display/linewindow.h"
#include "display/logfile.h"

TrafficWriter::TrafficWriter(LineWindow &traffic, LogFile &log) : Traffic(traffic), Log(log) {}

void TrafficWriter::WriteTrafficLine(QString &line)
{
    Log.WriteLine(line);
    if (EchoEnabled && DisplayEnabled)
        Traffic.AppendWrapped(line);
    line.clear();
}

void TrafficWriter::WriteTextLine(QString &line)
{
    Traffic.AppendRow(line);
    Log.WriteLine(line);
    line.clear();
}
