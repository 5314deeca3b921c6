#include "display/trafficwriter.h"
#include "display/linewindow.h"
#include "display/logfile.h"
#include "display/trafficwrap.h"

TrafficWriter::TrafficWriter(LineWindow &traffic, LogFile &log) : Traffic(traffic), Log(log) {}

void TrafficWriter::WriteTrafficLine(QString &line)
{
    Log.WriteLine(line);
    if (EchoEnabled && DisplayEnabled)
        Traffic.AppendRows(WrapTrafficLine(line));
    line.clear();
}

void TrafficWriter::WriteTextLine(QString &line)
{
    Traffic.AppendRow(line);
    Log.WriteLine(line);
    line.clear();
}
